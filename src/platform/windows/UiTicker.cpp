#include "platform/UiTicker.h"

#include <utility>

#include <wx/timer.h>

namespace platform {

// On Windows the ticker is a plain toolkit timer.
struct UiTicker::Impl : wxTimer {
    explicit Impl(Handler h) : handler(std::move(h)) {}
    void Notify() override { handler(); }
    bool IsRunning() const { return wxTimer::IsRunning(); }
    void Start(int milliseconds) { wxTimer::Start(milliseconds); }
    void Stop() { wxTimer::Stop(); }
    Handler handler;
};

UiTicker::UiTicker(Handler handler) : m_impl(std::make_unique<Impl>(std::move(handler))) {}

UiTicker::~UiTicker() = default;

void UiTicker::Start(int milliseconds) { m_impl->Start(milliseconds); }

void UiTicker::Stop() { m_impl->Stop(); }

bool UiTicker::IsRunning() const { return m_impl->IsRunning(); }

}  // namespace platform
