#include "files/Clock.h"

#include "platform/LocalTime.h"
#include "platform/SteadyClock.h"

#include <chrono>

CClock::~CClock() = default;

std::tm CClock::LocalNow() const { return platform::LocalTime(std::time(nullptr)); }

std::time_t CClock::Now() const { return std::time(nullptr); }

std::int64_t CClock::SteadyMs() const
{
    return platform::SteadyClock::Now() / 1000000;
}
