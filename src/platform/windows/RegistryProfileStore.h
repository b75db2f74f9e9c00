#pragma once
// ProfileStore over the Windows registry: HKEY_CURRENT_USER\Software\<company>\<program>\<section>,
// integers as REG_DWORD and strings as REG_SZ, names and texts as UTF-16 (UTF-8 outside).
// Every call opens the key, reads or writes, and closes it: nothing is kept in memory.
//
// No lock between running copies is needed, unlike the INI store's: each value is written by
// one call the registry makes atomic, and no write reads and rewrites other values, so two
// copies can never lose each other's writes.

#include <string>

#include "platform/ProfileStore.h"

namespace platform {

class RegistryProfileStore : public ProfileStore {
public:
    RegistryProfileStore(std::string company, std::string program);

    int ReadInt(const std::string& section, const std::string& key, int def) override;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) override;
    bool WriteInt(const std::string& section, const std::string& key, int value) override;
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

private:
    std::wstring SectionKey(const std::string& section) const;

    std::string m_company;
    std::string m_program;
};

}  // namespace platform
