#pragma once
// Source of the local date and time used for the standard file name. The base class reads the
// system clock; tests derive from it to fix the time.

#include <ctime>

class CClock {
public:
    virtual ~CClock();

    // The current local date and time (tm_mday 1..31, tm_mon 0..11, tm_hour, tm_min).
    virtual std::tm LocalNow() const;
};
