#pragma once
// A per-user store of settings in sections of named values: integers and strings.
// Implementations read the backing store on every call and write through at once, keeping
// nothing in memory, so two running copies of the program share their settings.

#include <memory>
#include <string>

namespace platform {

class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    // The stored value, or def when it is missing or unreadable.
    virtual int ReadInt(const std::string& section, const std::string& key, int def) = 0;
    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& def) = 0;

    // Stores the value; false when it could not be stored (callers usually ignore that).
    virtual bool WriteInt(const std::string& section, const std::string& key, int value) = 0;
    virtual bool WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;

    // The file the settings are kept in; "" when the store is not a file (the registry).
    virtual std::string FilePath() const { return {}; }
};

// This platform's store for company's program: the INI file
// "<config>/<company>/<program>.conf" on Linux, the registry key
// HKEY_CURRENT_USER\Software\<company>\<program> on Windows.
std::unique_ptr<ProfileStore> MakeUserProfileStore(const std::string& company, const std::string& program);

}  // namespace platform
