#include "platform/ProfileStore.h"

#include "platform/ProgramPaths.h"
#include "platform/linux/IniProfileStore.h"

namespace platform {

std::unique_ptr<ProfileStore> MakeUserProfileStore(const std::string& company, const std::string& program)
{
    return std::make_unique<IniProfileStore>(UserConfigDir() + "/" + company + "/" + program + ".conf");
}

}  // namespace platform
