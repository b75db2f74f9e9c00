#pragma once
// What a record stream and a playback stream on the process's sound-server connection
// (PulseServer) have in common: asking the server for the stream, following its state, and
// closing it without waiting. PulseCapture and PulsePlayback each hold one and add their own
// callbacks.
//
// Closing is possible in every state. A stream the server has not finished making yet cannot be
// disconnected (libpulse refuses until it is ready), and merely letting go of it would leave it
// open on the server until the connection ends: such a stream is handed to the loop, which
// disconnects it as soon as the server has made it and lets go of it once the server has ended
// it (or the connection has).
//
// Threads. Open, Poll, Lost and Close on the owner's (user-interface) thread. The ready hook
// and the owner's own callbacks run on the connection's loop thread, only between Open and
// Close.
//
// Without a connected server (libpulse not loaded, or no server) Open returns false.

#include <atomic>
#include <functional>
#include <memory>

struct pa_stream;
struct pa_sample_spec;

namespace platform {

class PulseApi;

class PulseStream {
public:
    enum class Progress {
        Opening,        // the server has not made the stream yet
        Ready,          // made; the stream runs (or may be started)
        SourceMissing,  // the device named by the user does not exist
        Failed,         // refused, or the connection broke
    };
    // Runs on the loop once the server has made the stream, before Poll tells Ready.
    using ReadyHook = std::function<void(pa_stream* stream)>;
    // Runs with the loop's lock held: sets the owner's callbacks on the new stream and connects
    // it; false when the request could not be sent.
    using Connect = std::function<bool(pa_stream* stream)>;

    PulseStream();
    ~PulseStream();
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // Asks for a stream named name (also its media name) with the media role and sample spec.
    // The server's state must be Ready. namedDevice: the owner connects to a device the user
    // chose by name, so a server that does not know it gives SourceMissing. False when the
    // request could not even be sent. Never waits for the server.
    bool Open(const char* name, const char* role, const pa_sample_spec& spec, bool namedDevice, ReadyHook ready,
              const Connect& connect);
    Progress Poll() const;
    // True once a stream that was ready has failed: its device went away, or the server did.
    bool Lost() const;
    bool WasReady() const { return m_wasReady.load(std::memory_order_acquire); }
    // Closes the stream (see the head of this file); no callback of it runs after this returns.
    void Close();
    // The stream, for libpulse calls under the loop's lock; nullptr when closed.
    pa_stream* Get() const { return m_stream.get(); }
    const PulseApi& Api() const { return *m_api; }

private:
    struct Closer {
        const PulseApi* api;
        void operator()(pa_stream* stream) const;
    };

    static void OnState(pa_stream* stream, void* userdata);  // loop
    // The state callback of a stream closed while the server was still making it.
    static void Reap(pa_stream* stream, void* userdata);  // loop

    const PulseApi* m_api;
    std::unique_ptr<pa_stream, Closer> m_stream;
    ReadyHook m_ready;
    bool m_namedDevice = false;
    std::atomic<int> m_state{0};  // pa_stream_state_t
    std::atomic<bool> m_wasReady{false};
    std::atomic<bool> m_missing{false};
};

}  // namespace platform
