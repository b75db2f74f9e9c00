#include "platform/UiTrace.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

bool UiTrace::Enabled()
{
    static const bool enabled = std::getenv("DR_TRACE_UI") != nullptr;
    return enabled;
}

void UiTrace::Report(const char* step, double milliseconds)
{
    if (Enabled())
        std::fprintf(stderr, "dr-trace %s %.2f\n", step, milliseconds);
}

UiTrace::UiTrace(const char* step) : m_step(step)
{
    if (Enabled())
        m_start = std::chrono::steady_clock::now();
}

UiTrace::~UiTrace()
{
    if (Enabled())
        Report(m_step, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start).count());
}

}  // namespace platform
