#include "platform/windows/WakeEvent.h"

#include <windows.h>

namespace platform {

WakeEvent::WakeEvent() : m_handle(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

WakeEvent::~WakeEvent()
{
    if (m_handle)
        CloseHandle(m_handle);
}

void WakeEvent::Set()
{
    if (m_handle)
        SetEvent(m_handle);
}

}  // namespace platform
