#pragma once
// The monotonic clock as one integer: nanoseconds since an arbitrary start, which never jumps
// with the wall clock. Fits a std::atomic, so threads can hand times to each other.
//
// Thread: any.

#include <chrono>
#include <cstdint>

namespace platform {

class SteadyClock {
public:
    static std::int64_t Now();
    // Nanoseconds in a duration, for comparing with differences of Now().
    static constexpr std::int64_t Nanos(std::chrono::nanoseconds duration) { return duration.count(); }
};

}  // namespace platform
