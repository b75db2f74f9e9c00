#pragma once
// Where the program is and where its per-user files go.

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// Full path of the running executable ("" when it cannot be found).
std::string ExecutablePath();

// Folder of the running executable, without a trailing separator.
std::string ExecutableDir();

// The folder of the program's private libraries when it runs installed, derived from the
// executable's own location: <prefix>/lib/dravellin-recorder for <prefix>/bin/<program>, so a
// program installed under any prefix (or DESTDIR) finds its own. "" when the executable's
// folder is unknown. Windows keeps them beside the executable and returns ExecutableDir().
std::string PrivateLibraryDir();

// The program's name: the executable's file name without folder and extension, unless
// SetProgramName chose another one (tests do, so their files do not carry the test's name).
std::string ProgramName();
void SetProgramName(const std::string& name);

// ${XDG_CONFIG_HOME:-$HOME/.config} on Linux; %APPDATA% on Windows.
std::string UserConfigDir();

// The platform's separator between folders in a path.
char PathSeparator();

// A UTF-8 path (as the program keeps every path) as a std::filesystem path, and back. A plain
// std::string would be taken in the ANSI code page on Windows, losing letters outside it.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// The program's arguments after its name, in UTF-8: main's own on Linux; on Windows the
// process's UTF-16 command line (main's are in the ANSI code page there).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace platform
