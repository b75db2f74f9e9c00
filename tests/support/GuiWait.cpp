#include "support/GuiWait.h"

#include <chrono>

#include <wx/app.h>
#include <wx/utils.h>

namespace testing_support {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (wxTheApp != nullptr) {
            wxTheApp->ProcessPendingEvents();
            wxTheApp->Yield(true);
        }
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        wxMilliSleep(5);
    }
}

void PumpEvents(int ms)
{
    WaitFor([] { return false; }, ms);
}

}  // namespace testing_support
