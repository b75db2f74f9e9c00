#include "files/Clock.h"

#include "platform/SteadyClock.h"

#include <chrono>

CClock::~CClock() = default;

std::tm CClock::LocalNow() const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

std::time_t CClock::Now() const { return std::time(nullptr); }

std::int64_t CClock::SteadyMs() const
{
    return platform::SteadyClock::Now() / 1000000;
}
