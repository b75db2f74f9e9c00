#include "platform/Profile.h"

#include "platform/ProgramPaths.h"

namespace platform {
namespace {

std::unique_ptr<ProfileStore>& Store()
{
    static std::unique_ptr<ProfileStore> store;
    return store;
}

}  // namespace

void SetRegistryKey(const std::string& company)
{
    Store() = MakeUserProfileStore(company, ProgramName());
}

void SetProfileStore(std::unique_ptr<ProfileStore> store) { Store() = std::move(store); }

std::string ProfileFilePath()
{
    return Store() ? Store()->FilePath() : std::string();
}

int GetProfileInt(const std::string& section, const std::string& key, int def)
{
    return Store() ? Store()->ReadInt(section, key, def) : def;
}

void WriteProfileInt(const std::string& section, const std::string& key, int value)
{
    if (Store())
        Store()->WriteInt(section, key, value);
}

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def)
{
    return Store() ? Store()->ReadString(section, key, def) : def;
}

void WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value)
{
    if (Store())
        Store()->WriteString(section, key, value);
}

}  // namespace platform
