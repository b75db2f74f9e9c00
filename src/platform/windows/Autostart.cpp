#include "platform/Autostart.h"

#include <windows.h>

#include "platform/ProgramPaths.h"
#include "platform/windows/WideText.h"

namespace platform {
namespace {

constexpr const wchar_t* kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunKeyText = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

const char* AutostartLabel() { return "Запускаться автоматически при загрузке Windows"; }

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

}  // namespace platform
