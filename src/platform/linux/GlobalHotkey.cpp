// No global keys here: the desktop's keyboard settings bind "dravellin-recorder --toggle".
#include "platform/GlobalHotkey.h"

namespace platform {

struct GlobalHotkey::Impl {};

bool GlobalHotkey::Supported() { return false; }

std::vector<std::string> GlobalHotkey::Combinations() { return {}; }

GlobalHotkey::GlobalHotkey(std::function<void()>) {}

GlobalHotkey::~GlobalHotkey() = default;

bool GlobalHotkey::Set(const std::string& name)
{
    m_held.clear();
    return name.empty();
}

}  // namespace platform
