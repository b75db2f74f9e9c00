#pragma once
// The local date and time of an instant, by the system's time zone and its daylight-saving
// rules (thread-safe, unlike std::localtime). Any thread.

#include <ctime>

namespace platform {

std::tm LocalTime(std::time_t instant);

}  // namespace platform
