#include "platform/Autostart.h"

#include "platform/ProgramPaths.h"

#include <cerrno>

#include <unistd.h>

#include "platform/linux/FileLock.h"

namespace platform {
namespace {

std::string AutostartDir() { return UserConfigDir() + "/autostart"; }

}  // namespace

std::string DesktopExecArgument(const std::string& executable)
{
    // Characters that force the argument into double quotes.
    static constexpr const char* kReserved = " \t\n\"'\\><~|&;$*?#`()";
    const bool quote = executable.empty() || executable.find_first_of(kReserved) != std::string::npos;

    std::string argument;
    if (quote) {
        argument += '"';
        for (const char c : executable) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                argument += '\\';
            argument += c;
        }
        argument += '"';
    } else {
        argument = executable;
    }

    // The Exec value is a string value too (its escapes are undone before the quoting rule), and
    // a literal percent sign is written twice so it is not taken for a field code.
    std::string value;
    for (const char c : argument) {
        switch (c) {
        case '\\': value += "\\\\"; break;
        case '\n': value += "\\n"; break;
        case '\t': value += "\\t"; break;
        case '\r': value += "\\r"; break;
        case '%': value += "%%"; break;
        default: value += c; break;
        }
    }
    return value;
}

std::string AutostartDesktopEntry(const std::string& name, const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + name + "\n"
           "Exec=" + DesktopExecArgument(executable) + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

const char* AutostartLabel() { return "Запускаться автоматически при входе в систему"; }

std::string AutostartLocation(const std::string& name)
{
    return AutostartDir() + "/" + name + ".desktop";
}

bool SetAutostart(const std::string& name, bool on)
{
    const std::string entry = AutostartLocation(name);
    if (!on) {
        // Gone already, folder included, is as good as removed.
        return ::unlink(entry.c_str()) == 0 || errno == ENOENT;
    }
    const std::string executable = ExecutablePath();
    if (executable.empty() || !MakeDirectories(AutostartDir()))
        return false;
    return ReplaceFileAtomically(entry, AutostartDesktopEntry(name, executable));
}

}  // namespace platform
