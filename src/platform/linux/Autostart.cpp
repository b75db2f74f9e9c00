#include "platform/Autostart.h"

#include "platform/ProgramPaths.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/windows/WideText.h"
#else
#include <cerrno>

#include <unistd.h>

#include "platform/FileLock.h"
#endif

namespace platform {
namespace {

#ifdef _WIN32
constexpr const wchar_t* kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunKeyText = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
#else
std::string AutostartDir() { return UserConfigDir() + "/autostart"; }
#endif

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

#ifdef _WIN32

std::string AutostartLocation(const std::string& name)
{
    return std::string("HKEY_CURRENT_USER\\") + kRunKeyText + "\\" + name;
}

bool SetAutostart(const std::string& name, bool on)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    struct KeyCloser {
        HKEY key;
        ~KeyCloser() { RegCloseKey(key); }
    } closer{key};

    if (!on) {
        const LONG rc = RegDeleteValueW(key, Wide(name).c_str());
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }
    const std::string path = ExecutablePath();
    if (path.empty())
        return false;
    // Quoted: an unquoted path with spaces lets the system start a program planted earlier in it.
    const std::wstring command = L"\"" + Wide(path) + L"\"";
    return RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(command.c_str()),
                          static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

#else

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

#endif

}  // namespace platform
