#ifdef _WIN32

#include "platform/RegistryProfileStore.h"

#include <windows.h>

namespace platform {
namespace {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

UniqueKey OpenKey(const std::string& path, bool create)
{
    HKEY key = nullptr;
    const LONG rc = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, &key, nullptr)
                           : RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    return UniqueKey(rc == ERROR_SUCCESS ? key : nullptr);
}

}  // namespace

RegistryProfileStore::RegistryProfileStore(std::string company, std::string program)
    : m_company(std::move(company)), m_program(std::move(program))
{
}

std::string RegistryProfileStore::SectionKey(const std::string& section) const
{
    return "Software\\" + m_company + "\\" + m_program + "\\" + section;
}

int RegistryProfileStore::ReadInt(const std::string& section, const std::string& key, int def)
{
    UniqueKey k = OpenKey(SectionKey(section), false);
    DWORD type = 0, value = 0, size = sizeof value;
    if (!k || RegQueryValueExA(k.get(), key.c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return def;
    return static_cast<int>(value);
}

std::string RegistryProfileStore::ReadString(const std::string& section, const std::string& key,
                                             const std::string& def)
{
    UniqueKey k = OpenKey(SectionKey(section), false);
    DWORD type = 0, size = 0;
    if (!k || RegQueryValueExA(k.get(), key.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return def;
    std::string value(size, '\0');
    if (RegQueryValueExA(k.get(), key.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return def;
    value.resize(strnlen(value.c_str(), value.size()));
    return value;
}

bool RegistryProfileStore::WriteInt(const std::string& section, const std::string& key, int value)
{
    UniqueKey k = OpenKey(SectionKey(section), true);
    const DWORD v = static_cast<DWORD>(value);
    return k && RegSetValueExA(k.get(), key.c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&v), sizeof v) == ERROR_SUCCESS;
}

bool RegistryProfileStore::WriteString(const std::string& section, const std::string& key,
                                       const std::string& value)
{
    UniqueKey k = OpenKey(SectionKey(section), true);
    return k && RegSetValueExA(k.get(), key.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace platform

#endif
