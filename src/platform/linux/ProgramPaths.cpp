#include "platform/ProgramPaths.h"

#include <cstdlib>

#include <limits.h>
#include <unistd.h>

namespace platform {

std::string ExecutablePath()
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string PrivateLibraryDir()
{
    const std::string exeDir = ExecutableDir();
    if (exeDir.empty())
        return {};
    // The build passes the installed library folder relative to the installed program's folder.
#ifndef DR_PRIVATE_LIBDIR_FROM_BINDIR
#define DR_PRIVATE_LIBDIR_FROM_BINDIR "../lib/dravellin-recorder"
#endif
    return exeDir + '/' + DR_PRIVATE_LIBDIR_FROM_BINDIR;
}

std::string UserConfigDir()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config";
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

char PathSeparator() { return '/'; }

}  // namespace platform
