#include "platform/pulse/PulseApi.h"

namespace platform {

bool PulseApi::Load()
{
    if (m_tried)
        return m_loaded;
    m_tried = true;
    if (!m_library.Open("libpulse.so.0"))
        return false;
    bool all = true;
#define DR_PULSE_RESOLVE(name)                                                                     \
    name = reinterpret_cast<decltype(name)>(m_library.Symbol(#name));                              \
    all = all && name != nullptr;
    DR_PULSE_FUNCTIONS(DR_PULSE_RESOLVE)
#undef DR_PULSE_RESOLVE
    if (!all) {
        m_library.Close();
        return false;
    }
    // libpulse keeps threads and atexit state of its own; it stays in the process until the end.
    m_library.Detach();
    m_loaded = true;
    return true;
}

}  // namespace platform
