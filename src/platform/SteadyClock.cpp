#include "platform/SteadyClock.h"

namespace platform {

std::int64_t SteadyClock::Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace platform
