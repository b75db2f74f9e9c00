#pragma once
// The process's one connection to the desktop's sound server (PulseAudio, or PipeWire through
// pipewire-pulse): one libpulse threaded main loop and one context, shared by every stream the
// program opens. Nothing here runs before the first Connect, so start-up and an idle program
// never contact the server.
//
// Connecting never waits: Connect starts it and returns, and the state is polled. A server that
// accepts the connection and then does not answer is given up kAnswerLimit after Connect
// (NotAnswering); the next Connect tries again from the start, as it does after the server
// went away (Failed).
//
// Threads. "Loop" is libpulse's main-loop thread, where every libpulse callback of the process
// runs, and always with the loop's lock held. Every other thread that calls libpulse on the
// context or a stream holds a Lock for the call (and only for short, non-waiting work: no
// pa_threaded_mainloop_wait here, completions are polled instead).
//
// For a stream of one's own (capture or playback): Connect, wait for State() == Ready (polling,
// e.g. from a timer; ServerStreamOpening does it all), then open a PulseStream, which makes the
// stream on Context() under a Lock and closes it in any state. The Lock is recursive. A
// stream's callbacks run on the loop and must only copy into memory allocated beforehand and set
// flags.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/pulse/PulseApi.h"
#include "platform/SoundServer.h"

namespace platform {

class PulseServer {
public:
    // Idle, Connecting, Ready, Failed (no server, or the connection broke), NotAnswering.
    using State = SoundServer::State;
    static constexpr std::chrono::seconds kAnswerLimit{5};

    // The one instance of the process. Any thread.
    static PulseServer& Get();

    // True when the sound server is to be tried for sound: the user has not chosen an SDL
    // driver (SDL_AUDIODRIVER unset) and libpulse can be loaded (loaded here the first time, no
    // server contact). User-interface thread.
    bool Wanted();

    // Starts connecting unless connected or connecting (an attempt older than kAnswerLimit is
    // given up and made anew), and returns the state at once. Never waits for the server. User-interface thread (any thread but the loop's).
    State Connect();
    // The state now. A connection not ready kAnswerLimit after it began is given up here
    // (disconnected; NotAnswering). Any thread but the loop's.
    State Poll();

    using Source = SoundSource;
    // Keeps the list of sources up to date while it is called now and then (a timer): connects
    // when needed and, once the server answers, fetches the list and follows the server's news
    // of sources and outputs that come and go. Returns the list's version, which changes
    // whenever the list does. Never waits. User-interface thread.
    std::uint64_t WatchSources();
    // The last list fetched (kept when the server goes away), and the default source's name.
    // Any thread; never contacts the server.
    std::vector<Source> Sources() const;
    std::string DefaultSource() const;
    // True once the outputs, the sources and the default have all been fetched on the present
    // connection (the answer to the server's information comes last). Any thread.
    bool Listed() const { return m_listed.load(std::memory_order_acquire); }

    // True when the server is PipeWire's (known once the connection is ready and the server
    // answered its first question, before any stream on it is ready). Any thread.
    bool PipeWire() const { return m_pipeWire.load(std::memory_order_acquire); }

    // The function table; valid once Wanted() returned true. Any thread.
    const PulseApi& Api() const { return m_api; }
    // The context; use only under a Lock while the state is Ready (nullptr before any Connect).
    pa_context* Context() const { return m_context.get(); }
    // The main loop's lock: while held, no libpulse callback of the process runs. Any thread but
    // the loop's, and only after a Connect (no loop exists before).
    class Lock {
    public:
        Lock();
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
    };

    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

private:
    PulseServer() = default;
    // At exit: closes the context and stops the loop.
    ~PulseServer();

    struct LoopDeleter {
        const PulseApi* api;
        void operator()(pa_threaded_mainloop* loop) const;
    };
    struct ContextDeleter {
        const PulseApi* api;
        void operator()(pa_context* context) const;
    };
    using LoopPtr = std::unique_ptr<pa_threaded_mainloop, LoopDeleter>;
    using ContextPtr = std::unique_ptr<pa_context, ContextDeleter>;

    static void OnContextState(pa_context* context, void* userdata);  // loop
    void DropContext();  // under the lock
    // Asks for the sources, the outputs and the default source (under the lock).
    void FetchSources();
    static void OnSubscription(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index,
                               void* userdata);  // loop
    static void OnSourceInfo(pa_context* context, const pa_source_info* info, int eol, void* userdata);  // loop
    static void OnSinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* userdata);  // loop
    static void OnServerName(pa_context* context, const pa_server_info* info, void* userdata);  // loop
    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* userdata);  // loop

    PulseApi m_api;
    LoopPtr m_loop{nullptr, LoopDeleter{&m_api}};
    ContextPtr m_context{nullptr, ContextDeleter{&m_api}};
    std::atomic<State> m_state{State::Idle};
    std::atomic<std::int64_t> m_connectStart{0};  // steady-clock nanoseconds
    std::uint64_t m_contextGeneration = 0;  // counts the contexts made (under the lock)
    std::uint64_t m_watchedGeneration = 0;  // the context whose news the list follows

    // The list: built on the loop, published under m_listMutex.
    struct RawSource {
        Source source;
        std::uint32_t monitorOf = PA_INVALID_INDEX;
    };
    std::vector<RawSource> m_buildingSources;                 // loop
    std::map<std::uint32_t, std::string> m_buildingOutputs;  // loop
    mutable std::mutex m_listMutex;
    std::vector<RawSource> m_sources;
    std::map<std::uint32_t, std::string> m_outputs;  // output index -> description
    std::string m_defaultSource;
    std::atomic<std::uint64_t> m_sourcesVersion{0};
    std::atomic<bool> m_listed{false};
    std::atomic<bool> m_pipeWire{false};
};

}  // namespace platform
