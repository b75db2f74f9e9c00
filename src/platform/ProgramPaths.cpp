#include "platform/ProgramPaths.h"

#include <cstdlib>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "platform/windows/WideText.h"
#else
#include <limits.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

std::mutex g_nameMutex;
std::string g_programName;

std::string BaseNameWithoutExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

}  // namespace

std::string ExecutablePath()
{
#ifdef _WIN32
    // Long paths too: the buffer grows until the name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return Utf8(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
#else
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
#endif
}

std::string ExecutableDir()
{
    const std::string path = ExecutablePath();
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash);
}

std::string PrivateLibraryDir()
{
    const std::string exeDir = ExecutableDir();
    if (exeDir.empty())
        return {};
#ifdef _WIN32
    return exeDir;
#else
    // The build passes the installed library folder relative to the installed program's folder.
#ifndef DR_PRIVATE_LIBDIR_FROM_BINDIR
#define DR_PRIVATE_LIBDIR_FROM_BINDIR "../lib/dravellin-recorder"
#endif
    return exeDir + '/' + DR_PRIVATE_LIBDIR_FROM_BINDIR;
#endif
}

std::string ProgramName()
{
    {
        std::lock_guard<std::mutex> lock(g_nameMutex);
        if (!g_programName.empty())
            return g_programName;
    }
    return BaseNameWithoutExtension(ExecutablePath());
}

void SetProgramName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(g_nameMutex);
    g_programName = name;
}

std::string UserConfigDir()
{
#ifdef _WIN32
    const wchar_t* appData = _wgetenv(L"APPDATA");
    return appData ? Utf8(appData) : "";
#else
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config";
#endif
}

std::filesystem::path PathFromUtf8(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argv;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            args.push_back(Utf8(wide[i]));
        LocalFree(wide);
        return args;
    }
#endif
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

char PathSeparator()
{
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

}  // namespace platform
