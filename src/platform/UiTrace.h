#pragma once
// Opt-in timing of steps on the user-interface thread, for the benchmarks: with the
// environment variable DR_TRACE_UI set (to anything), each traced step prints one line
// "dr-trace <step> <milliseconds>" to standard error when it ends. Without it a trace costs
// one cached flag test.
//
// Thread: any; each object is used on one thread.

#include <chrono>

namespace platform {

class UiTrace {
public:
    explicit UiTrace(const char* step);
    ~UiTrace();
    UiTrace(const UiTrace&) = delete;
    UiTrace& operator=(const UiTrace&) = delete;

    static bool Enabled();
    // Prints one line with a value measured elsewhere.
    static void Report(const char* step, double milliseconds);

private:
    const char* m_step;
    std::chrono::steady_clock::time_point m_start;
};

}  // namespace platform
