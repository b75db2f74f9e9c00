#include "platform/LocalTime.h"

namespace platform {

std::tm LocalTime(std::time_t instant)
{
    std::tm local{};
    localtime_s(&local, &instant);
    return local;
}

}  // namespace platform
