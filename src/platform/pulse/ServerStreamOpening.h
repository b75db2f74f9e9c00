#pragma once
// Opening a stream on the desktop's sound server without waiting for it, as the default sound
// input and the default sound output both do: connect (or use the connection there is), then
// ask for the stream once the server answers, then wait for the server to make it. All of it
// within kOpenLimit of Start; a server that is not there at all is told at once (NoServer), so
// the caller can turn to SDL.
//
// The caller's begin function asks for its stream (PulseCapture::Begin, PulsePlayback::Begin)
// and returns the stream's core, or nullptr when the request could not be sent. On Failed and
// SourceMissing the stream has been closed here.
//
// Thread: the owner's (user-interface) thread; never waits.

#include <chrono>
#include <cstdint>
#include <functional>

namespace platform {

class PulseStream;

class ServerStreamOpening {
public:
    enum class Step {
        Idle,           // not started, or over
        Opening,        // connecting, or the server is making the stream
        Open,           // the stream is made
        NoServer,       // no server to use (none wanted, none there, or it refused)
        Failed,         // the server did not answer in time, or refused the stream
        SourceMissing,  // the device named by the caller does not exist
    };
    using Begin = std::function<PulseStream*()>;
    static constexpr std::chrono::seconds kOpenLimit{5};

    // Starts opening and tells how far it got at once.
    Step Start(Begin begin);
    // Follows the opening (once Start gave Opening); Open, NoServer, Failed and SourceMissing
    // are told once, then Idle.
    Step Poll();
    // Forgets the opening (the caller closes its stream itself).
    void Reset();

private:
    enum class Phase { Idle, Connecting, Stream };
    Step BeginStream();
    Step Fail(Step step);

    Phase m_phase = Phase::Idle;
    Begin m_begin;
    PulseStream* m_stream = nullptr;
    std::int64_t m_startedAt = 0;
};

}  // namespace platform
