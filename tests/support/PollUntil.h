#pragma once
// Polls a condition from a test's own thread (no event loop) until it holds or `seconds` have
// passed; returns its last value. Sound devices and servers answer on threads of their own, so
// tests wait for the state they expect instead of sleeping a fixed time.

#include <chrono>
#include <thread>

namespace testing_support {

template <typename Pred>
bool PollUntil(Pred pred, double seconds, std::chrono::milliseconds step = std::chrono::milliseconds(10))
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

}  // namespace testing_support
