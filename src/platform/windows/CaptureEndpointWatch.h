#pragma once
// Tells a capture thread what the audio engine says of its endpoints: that another capture
// endpoint became the default one (for the console role), and that the endpoint being recorded
// left the active state (unplugged, disabled). Either sets the given wake event, so the thread
// learns of it at once. Built on EndpointWatch, which carries the engine's news.
//
// Thread: Start, Stop and Follow on the capture thread, which has COM set up; the engine calls
// in on threads of its own; the getters on any thread. Windows only.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

class EndpointWatch;
class WakeEvent;

class CaptureEndpointWatch {
public:
    CaptureEndpointWatch();
    ~CaptureEndpointWatch();
    CaptureEndpointWatch(const CaptureEndpointWatch&) = delete;
    CaptureEndpointWatch& operator=(const CaptureEndpointWatch&) = delete;

    // Begins to watch, for the endpoint with that ID; false when the engine refused.
    bool Start(const std::string& id, WakeEvent& wake);
    void Stop();
    // Watches the endpoint with that ID from now on (after a switch to it).
    void Follow(const std::string& id);
    // True once after another capture endpoint became the default.
    bool TakeDefaultChanged();
    // True when the watched endpoint left the active state.
    bool Gone() const;

private:
    std::mutex m_mutex;  // guards m_id against the engine's threads
    std::wstring m_id;
    std::atomic<WakeEvent*> m_wake{nullptr};
    std::atomic<bool> m_defaultChanged{false};
    std::atomic<bool> m_gone{false};
    // Last, so it is unregistered before the state above goes.
    std::unique_ptr<EndpointWatch> m_watch;
};

}  // namespace platform
