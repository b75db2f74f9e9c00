#include "platform/ProfileStore.h"

#include "platform/windows/RegistryProfileStore.h"

namespace platform {

std::unique_ptr<ProfileStore> MakeUserProfileStore(const std::string& company, const std::string& program)
{
    return std::make_unique<RegistryProfileStore>(company, program);
}

}  // namespace platform
