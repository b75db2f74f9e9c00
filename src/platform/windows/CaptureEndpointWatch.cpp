#include "platform/windows/CaptureEndpointWatch.h"

#include <windows.h>

#include <mmdeviceapi.h>

#include "platform/windows/EndpointWatch.h"
#include "platform/windows/WakeEvent.h"
#include "platform/windows/WideText.h"

namespace platform {

CaptureEndpointWatch::CaptureEndpointWatch() = default;

CaptureEndpointWatch::~CaptureEndpointWatch() { Stop(); }

bool CaptureEndpointWatch::Start(const std::string& id, WakeEvent& wake)
{
    Stop();
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator))))
        return false;
    Follow(id);
    m_defaultChanged = false;
    m_wake = &wake;
    // Runs on the engine's threads: only flags, the ID's comparison and the wake-up.
    auto hear = [this](const EndpointWatch::News& news) {
        using Kind = EndpointWatch::News::Kind;
        if (news.kind == Kind::DefaultChanged && news.flow == eCapture && news.role == eConsole) {
            m_defaultChanged = true;
        } else if ((news.kind == Kind::Removed ||
                    (news.kind == Kind::StateChanged && news.state != DEVICE_STATE_ACTIVE)) &&
                   !news.endpoint.empty()) {
            std::lock_guard lock(m_mutex);
            if (news.endpoint != m_id)
                return;
            m_gone = true;
        } else {
            return;
        }
        if (WakeEvent* wakeEvent = m_wake.load())
            wakeEvent->Set();
    };
    m_watch = std::make_unique<EndpointWatch>(std::move(enumerator), hear);
    if (!m_watch->Registered()) {
        m_watch.reset();
        return false;
    }
    return true;
}

void CaptureEndpointWatch::Stop()
{
    m_watch.reset();  // unregistered: the engine calls in no more
    m_wake = nullptr;
}

void CaptureEndpointWatch::Follow(const std::string& id)
{
    std::lock_guard lock(m_mutex);
    m_id = Wide(id);
    m_gone = false;
}

bool CaptureEndpointWatch::TakeDefaultChanged() { return m_defaultChanged.exchange(false); }

bool CaptureEndpointWatch::Gone() const { return m_gone.load(); }

}  // namespace platform
