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
// e.g. from a timer), then under a Lock create it with Api() on Context() and set its callbacks.
// To close it: under a Lock, clear its callbacks, pa_stream_disconnect and pa_stream_unref; once
// the Lock is released no callback of it runs again. A stream's callbacks run on the loop and
// must only copy into memory allocated beforehand and set flags.

#include <atomic>
#include <chrono>
#include <memory>

#include "platform/PulseApi.h"

namespace platform {

class PulseServer {
public:
    enum class State {
        Idle,          // never connected
        Connecting,    // connection under way
        Ready,         // the server answers; streams can be made
        Failed,        // no server (refused, missing) or the connection broke
        NotAnswering,  // accepted the connection but did not answer within kAnswerLimit
    };
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

    PulseApi m_api;
    LoopPtr m_loop{nullptr, LoopDeleter{&m_api}};
    ContextPtr m_context{nullptr, ContextDeleter{&m_api}};
    std::atomic<State> m_state{State::Idle};
    std::atomic<std::int64_t> m_connectStart{0};  // steady-clock nanoseconds
};

}  // namespace platform
