#include "platform/DesktopLauncher.h"

#include <cstdlib>
#include <mutex>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include <wx/log.h>
#include <wx/utils.h>

namespace platform {
namespace {

std::mutex g_runnerMutex;
CommandRunner g_runner;

bool RunDetached(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    const std::string program = argv[0].find('/') == std::string::npos ? FindOnPath(argv[0]) : argv[0];
    if (program.empty())
        return false;
    std::vector<wxString> args;
    args.emplace_back(wxString::FromUTF8(program));
    for (std::size_t i = 1; i < argv.size(); ++i)
        args.emplace_back(wxString::FromUTF8(argv[i]));
    std::vector<const wxChar*> raw;
    for (const wxString& a : args)
        raw.push_back(a.wc_str());
    raw.push_back(nullptr);
    wxLogNull quiet;  // a failure to start is not the user's concern here
    return wxExecute(const_cast<wxChar**>(raw.data()), wxEXEC_ASYNC) != 0;
}

bool Run(const std::vector<std::string>& argv)
{
    CommandRunner runner;
    {
        std::lock_guard<std::mutex> lock(g_runnerMutex);
        runner = g_runner;
    }
    return runner ? runner(argv) : RunDetached(argv);
}

}  // namespace

std::string FindOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty())
            continue;
        const std::string candidate = dir + "/" + program;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

bool StartMixer(MixerView view)
{
    // pavucontrol's tabs: 3 output devices, 4 input devices.
    const std::string tab = view == MixerView::Input ? "--tab=4" : "--tab=3";
    const std::vector<std::vector<std::string>> candidates = {
        {"pavucontrol", tab},
        {"pavucontrol-qt", tab},
        {"gnome-control-center", "sound"},
        {"mate-volume-control", view == MixerView::Input ? "--page=input" : "--page=output"},
        {"xfce4-pulseaudio-plugin-settings"},
    };
    for (const auto& argv : candidates) {
        if (!FindOnPath(argv[0]).empty())
            return Run(argv);
    }
    return false;
}

bool OpenUrl(const std::string& url)
{
    if (!FindOnPath("xdg-open").empty())
        return Run({"xdg-open", url});
    wxLogNull quiet;
    return wxLaunchDefaultBrowser(wxString::FromUTF8(url));
}

CommandRunner SetCommandRunner(CommandRunner runner)
{
    std::lock_guard<std::mutex> lock(g_runnerMutex);
    CommandRunner previous = std::move(g_runner);
    g_runner = std::move(runner);
    return previous;
}

}  // namespace platform
