// Windows twin of platform/linux/DesktopLauncher.cpp: the system's volume mixer (sndvol.exe) for the
// playback volume, the Sound control panel's recording tab (or the mixer where that is missing)
// for the recording level, and the shell for links. Programs are started by their full path in
// the system folder, never found through the current folder or PATH.
#include "platform/DesktopLauncher.h"

#include <mutex>

#include <windows.h>
#include <shellapi.h>

#include "platform/MessageBox.h"
#include "platform/windows/WideText.h"

namespace platform {
namespace {

std::mutex g_runnerMutex;
CommandRunner g_runner;

std::wstring SystemFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Quotes one argument for the command line CreateProcessW parses back into argv.
std::wstring Quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

bool RunDetached(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    const std::wstring program = Wide(argv[0]);
    std::wstring commandLine;
    for (const std::string& argument : argv)
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
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
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ::SearchPathW(nullptr, Wide(program).c_str(), L".exe", MAX_PATH, buffer, nullptr);
    return n > 0 && n < MAX_PATH ? Utf8(buffer, n) : std::string();
}

bool StartMixer(MixerView view)
{
    const std::wstring system = SystemFolder();
    const std::wstring sndvol = system + L"\\SndVol.exe";
    const std::wstring control = system + L"\\control.exe";
    bool started = false;
    // The recording level lives on the Sound control panel's "Recording" tab (mmsys.cpl, page 1)
    // since the mixer lost its recording view; without that panel the mixer is the next best.
    if (view == MixerView::Input && !system.empty() && FileExists(system + L"\\mmsys.cpl") &&
        FileExists(control))
        started = Run({Utf8(control), "mmsys.cpl,,1"});
    if (!started && !system.empty() && FileExists(sndvol))
        started = Run({Utf8(sndvol)});
    if (!started)
        ShowMessage("Не могу запустить регулятор громкости.\n", MessageIcon::Stop);
    return started;
}

bool OpenUrl(const std::string& url)
{
    const HINSTANCE result =
        ::ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

CommandRunner SetCommandRunner(CommandRunner runner)
{
    std::lock_guard<std::mutex> lock(g_runnerMutex);
    CommandRunner previous = std::move(g_runner);
    g_runner = std::move(runner);
    return previous;
}

}  // namespace platform
