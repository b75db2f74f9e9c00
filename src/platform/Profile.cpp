#include "platform/Profile.h"

#include "platform/ProgramPaths.h"
#ifdef _WIN32
#include "platform/windows/RegistryProfileStore.h"
#else
#include "platform/linux/IniProfileStore.h"
#endif

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
#ifdef _WIN32
    Store() = std::make_unique<RegistryProfileStore>(company, ProgramName());
#else
    Store() = std::make_unique<IniProfileStore>(UserConfigDir() + "/" + company + "/" +
                                                ProgramName() + ".conf");
#endif
}

void SetProfileStore(std::unique_ptr<ProfileStore> store) { Store() = std::move(store); }

std::string ProfileFilePath()
{
#ifndef _WIN32
    if (auto* ini = dynamic_cast<IniProfileStore*>(Store().get()))
        return ini->Path();
#endif
    return {};
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
