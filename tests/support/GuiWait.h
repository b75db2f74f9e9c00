#pragma once
// Helpers for GUI tests that run inside the wxWidgets event loop.

#include <algorithm>
#include <chrono>
#include <functional>

#include <wx/timer.h>

namespace testing_support {

// Processes pending GUI events until condition() is true or timeoutMs has passed; returns the
// condition's last value. Window managers and X servers answer asynchronously, so tests wait for
// the state they expect instead of sleeping a fixed time.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 3000);

// Processes pending GUI events for about ms milliseconds.
void PumpEvents(int ms);

// Measures the longest time the event loop went without running a 10 ms timer, from
// construction on: how long the window was unresponsive.
class LoopWatch : public wxTimer {
public:
    LoopWatch() { Start(10); }
    void Notify() override
    {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max(longest, now - last);
        last = now;
    }
    std::chrono::steady_clock::duration longest{};
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
};

}  // namespace testing_support
