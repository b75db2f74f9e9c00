#include "files/Clock.h"

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
