#pragma once
// Windows' news of its audio endpoints, through an IMMNotificationClient registered with an
// enumerator for as long as the object lives: an endpoint that comes, goes, changes its state
// or a property (its name), and a new default endpoint of a direction and role.
//
// Each piece of news is counted in Version() and handed to the function given at construction.
// That function runs on a thread of the audio service, with the service waiting: it must only
// copy what it needs, set flags and wake a thread of the program's own; never call the
// enumerator or wait there. Windows only.
//
// Thread: construct and destroy on a thread that has joined COM (the enumerator's apartment);
// Version() from any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include <mmdeviceapi.h>
#include <wrl/client.h>

namespace platform {

class EndpointWatch {
public:
    struct News {
        enum class Kind { Added, Removed, StateChanged, DefaultChanged, PropertyChanged };
        Kind kind = Kind::Added;
        std::wstring endpoint;     // its ID; empty for a default that is now none
        EDataFlow flow = eAll;     // DefaultChanged only: eRender or eCapture
        ERole role = eConsole;     // DefaultChanged only
        DWORD state = 0;           // StateChanged: the endpoint's new state; Removed: 0
    };
    using Listener = std::function<void(const News&)>;

    // Registers with the enumerator; Registered() says whether Windows took it.
    EndpointWatch(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator, Listener listener);
    // Unregisters: once it returns, the listener is never called again.
    ~EndpointWatch();
    EndpointWatch(const EndpointWatch&) = delete;
    EndpointWatch& operator=(const EndpointWatch&) = delete;

    bool Registered() const { return m_registered; }
    // How many pieces of news came so far.
    std::uint64_t Version() const;

private:
    class Client;

    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> m_enumerator;
    Microsoft::WRL::ComPtr<Client> m_client;
    bool m_registered = false;
};

}  // namespace platform
