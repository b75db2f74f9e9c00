#include "platform/ProgramPaths.h"

#include <cstdlib>

#include <windows.h>
#include <shellapi.h>

#include "platform/windows/WideText.h"

namespace platform {

std::string ExecutablePath()
{
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
}

// The encoder library sits beside the program.
std::string PrivateLibraryDir() { return ExecutableDir(); }

std::string UserConfigDir()
{
    const wchar_t* appData = _wgetenv(L"APPDATA");
    return appData ? Utf8(appData) : "";
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    // The arguments as the system has them (UTF-16), not in the C library's code page.
    std::vector<std::string> args;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            args.push_back(Utf8(wide[i]));
        LocalFree(wide);
        return args;
    }
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

char PathSeparator() { return '\\'; }

}  // namespace platform
