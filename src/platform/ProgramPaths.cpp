#include "platform/ProgramPaths.h"

#include <mutex>

// What the system tells (the executable's path, the settings' folder, the arguments) is the
// platform's: linux/ProgramPaths.cpp, windows/ProgramPaths.cpp.

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

std::string ExecutableDir()
{
    const std::string path = ExecutablePath();
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash);
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

std::filesystem::path PathFromUtf8(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace platform
