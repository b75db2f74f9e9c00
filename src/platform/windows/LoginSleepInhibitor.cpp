#include "platform/LoginSleepInhibitor.h"

#include <windows.h>

// Windows has no login manager to ask: the thread's execution state keeps the system awake
// from Hold to Release.

namespace platform {

struct LoginSleepInhibitor::Request {};

LoginSleepInhibitor::LoginSleepInhibitor() = default;
LoginSleepInhibitor::~LoginSleepInhibitor() { Release(); }

void LoginSleepInhibitor::Hold()
{
    ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

void LoginSleepInhibitor::Release()
{
    ::SetThreadExecutionState(ES_CONTINUOUS);
}

}  // namespace platform
