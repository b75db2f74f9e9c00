#pragma once
// The Windows audio engine's endpoints as the program's list of sound sources (the Windows side
// of SoundServer): every active capture endpoint by its friendly name (as Windows' Sound
// settings show it), and for every active render endpoint its loopback ("what the computer
// plays" through that output) as a monitor whose output is the endpoint's friendly name. A
// source's name is its endpoint's ID (IMMDevice::GetId), which stays the same across restarts
// and re-plugging; the default source is the default capture endpoint for the console role.
//
// The enumerator lives on a thread of its own, in COM's multithreaded apartment, started by the
// first Connect: nothing here runs before, so start-up never touches the audio service. The
// thread lists the endpoints, then lists them again whenever Windows tells of an endpoint that
// came, went or changed or of a new default (EndpointWatch), and publishes each list that
// differs from the last with a new version. Connect and the readers never wait for it.
//
// States: Idle before the first Connect, Connecting until the first list, Ready once there is
// one, Failed when the audio service cannot be reached (no enumerator, or listing failed); the
// next Connect after Failed tries again.
//
// Thread: any thread. The one instance and its thread last until the process ends.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/SoundServer.h"

namespace platform {

class AudioEndpoints {
public:
    using State = SoundServer::State;

    static AudioEndpoints& Get();

    // Starts the thread the first time, asks it to try again after Failed; the state now.
    State Connect();
    State Poll() const { return m_state.load(std::memory_order_acquire); }
    // Connect, and the list's version (changes whenever the list or the default does).
    std::uint64_t Watch();
    // True once the thread has published a whole list (after Ready it stays true).
    bool Listed() const { return m_listed.load(std::memory_order_acquire); }
    // The last list published, and the default capture endpoint's ID (empty: none).
    std::vector<SoundSource> Sources() const;
    std::string DefaultSource() const;

    AudioEndpoints(const AudioEndpoints&) = delete;
    AudioEndpoints& operator=(const AudioEndpoints&) = delete;

private:
    AudioEndpoints() = default;
    ~AudioEndpoints() = delete;

    void Run();  // the thread
    // Waits until there is news of the endpoints (unless retryOnly) or a retry is asked for.
    void WaitForWork(bool retryOnly);
    void Publish(std::vector<SoundSource> sources, std::string defaultSource);

    std::atomic<State> m_state{State::Idle};
    std::atomic<bool> m_listed{false};
    std::atomic<std::uint64_t> m_version{0};

    mutable std::mutex m_mutex;  // guards what follows
    std::condition_variable m_wake;
    bool m_started = false;
    bool m_news = false;
    bool m_retry = false;
    std::vector<SoundSource> m_sources;
    std::string m_default;
};

}  // namespace platform
