#pragma once
// Helpers for GUI tests that run inside the wxWidgets event loop.

#include <functional>

namespace testing_support {

// Processes pending GUI events until condition() is true or timeoutMs has passed; returns the
// condition's last value. Window managers and X servers answer asynchronously, so tests wait for
// the state they expect instead of sleeping a fixed time.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 3000);

// Processes pending GUI events for about ms milliseconds.
void PumpEvents(int ms);

}  // namespace testing_support
