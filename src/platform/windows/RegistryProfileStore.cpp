#include "platform/windows/RegistryProfileStore.h"

#include <cwchar>
#include <memory>
#include <type_traits>

#include <windows.h>

#include "platform/windows/WideText.h"

namespace platform {
namespace {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

UniqueKey OpenKey(const std::wstring& path, bool create)
{
    HKEY key = nullptr;
    const LONG rc = create ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &key, nullptr)
                           : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    return UniqueKey(rc == ERROR_SUCCESS ? key : nullptr);
}

}  // namespace

RegistryProfileStore::RegistryProfileStore(std::string company, std::string program)
    : m_company(std::move(company)), m_program(std::move(program))
{
}

std::wstring RegistryProfileStore::SectionKey(const std::string& section) const
{
    return Wide("Software\\" + m_company + "\\" + m_program + "\\" + section);
}

// A value of another type (a string where a number belongs) reads as missing: the default.
int RegistryProfileStore::ReadInt(const std::string& section, const std::string& key, int def)
{
    UniqueKey k = OpenKey(SectionKey(section), false);
    DWORD type = 0, value = 0, size = sizeof value;
    if (!k || RegQueryValueExW(k.get(), Wide(key).c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return def;
    return static_cast<int>(value);
}

std::string RegistryProfileStore::ReadString(const std::string& section, const std::string& key,
                                             const std::string& def)
{
    UniqueKey k = OpenKey(SectionKey(section), false);
    const std::wstring name = Wide(key);
    DWORD type = 0, size = 0;
    if (!k || RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return def;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return def;
    // The stored string need not end with its terminator.
    value.resize(wcsnlen(value.c_str(), size / sizeof(wchar_t)));
    return Utf8(value);
}

bool RegistryProfileStore::WriteInt(const std::string& section, const std::string& key, int value)
{
    UniqueKey k = OpenKey(SectionKey(section), true);
    const DWORD v = static_cast<DWORD>(value);
    return k && RegSetValueExW(k.get(), Wide(key).c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&v), sizeof v) == ERROR_SUCCESS;
}

bool RegistryProfileStore::WriteString(const std::string& section, const std::string& key,
                                       const std::string& value)
{
    UniqueKey k = OpenKey(SectionKey(section), true);
    const std::wstring text = Wide(value);
    return k && RegSetValueExW(k.get(), Wide(key).c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace platform
