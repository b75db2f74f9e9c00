#pragma once
// Tells a capture thread what the audio engine says of its endpoints (IMMNotificationClient):
// that another capture endpoint became the default one (for the console role), and that the
// endpoint being recorded left the active state (unplugged, disabled). Either sets the given
// wake event, so the thread learns of it at once.
//
// Thread: Start, Stop and Follow on the capture thread, which has COM set up; the engine calls
// in on threads of its own; the getters on any thread. Windows only.

#include <memory>
#include <string>

namespace platform {

class WakeEvent;

class EndpointWatch {
public:
    EndpointWatch();
    ~EndpointWatch();
    EndpointWatch(const EndpointWatch&) = delete;
    EndpointWatch& operator=(const EndpointWatch&) = delete;

    // Begins to watch, for the endpoint with that ID; false when the engine refused.
    bool Start(const std::string& id, WakeEvent& wake);
    void Stop();
    // Watches the endpoint with that ID from now on (after a switch to it).
    void Follow(const std::string& id);
    // True once after another capture endpoint became the default.
    bool TakeDefaultChanged();
    // True when the watched endpoint left the active state.
    bool Gone() const;

    class Client;  // the notification client the engine calls

private:
    Client* m_client = nullptr;  // one reference, ours
    void* m_enumerator = nullptr;  // IMMDeviceEnumerator, one reference, ours
};

}  // namespace platform
