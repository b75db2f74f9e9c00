#pragma once
// Source of the time: the local date and time used for the standard file name, the wall clock a
// recording timer follows and a steady clock that never jumps. The base class reads the system
// clocks; tests derive from it to fix or move the time.

#include <cstdint>
#include <ctime>

class CClock {
public:
    virtual ~CClock();

    // The current local date and time (tm_mday 1..31, tm_mon 0..11, tm_hour, tm_min).
    virtual std::tm LocalNow() const;
    // The wall clock, in seconds since the epoch: follows the system clock when it is set or
    // jumps (NTP, a manual change, a resume).
    virtual std::time_t Now() const;
    // Milliseconds of a clock that only moves forward at a steady rate, from an arbitrary origin.
    virtual std::int64_t SteadyMs() const;
};
