#pragma once
// A record stream on the process's sound-server connection (PulseServer): 16-bit samples at the
// asked rate, about 100 ms a delivery, handed to a sink on the loop's thread.
//
// Mono is made here, not by the server: the stream takes the source's own channels and each
// frame's channels are averaged (a server's own stereo-to-mono mix may add 3 dB and clip).
// A named source is kept: the server may not move the stream off it, and when the source goes
// the stream fails (Lost). With no name the stream follows the desktop's default input, and
// every move is noted (Switches) with the recording time it happened at.
//
// Threads. Begin, Poll, Start, Close and the queries on the owner's (user-interface) thread.
// The sink runs on the server connection's loop thread, only between Start and Close: it gets
// whole frames of the asked channel count and must only copy. The callbacks of this class copy
// into memory allocated by Begin and set atomics.
//
// Without libpulse (Windows) the class exists but never opens: Begin returns false.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>


struct pa_stream;

namespace platform {

class PulseApi;

class PulseCapture {
public:
    using Sink = std::function<void(const std::uint8_t* data, std::size_t bytes)>;
    enum class Progress {
        Opening,        // the server has not answered yet
        Open,           // ready; Start begins the deliveries
        SourceMissing,  // the named source does not exist
        Failed,         // refused, or the connection broke
    };
    // The stream went over to another source: its name, and the frames delivered before.
    struct Switch {
        std::string source;
        std::uint64_t frames = 0;
    };
    static constexpr std::size_t kMaxSwitches = 32;

    PulseCapture();
    ~PulseCapture();
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    // Asks for the stream, corked: rate in Hz, channels 1 or 2 as the sink gets them, source a
    // source's name or empty for the default. The server's state must be Ready. False when the
    // request could not even be sent. Does not wait for the server.
    bool Begin(std::uint32_t rate, int channels, const std::string& source, Sink sink);
    Progress Poll() const;
    // Uncorks the stream (Open only); deliveries follow.
    bool Start();
    // Closes the stream; the sink is never called after this returns. Never waits for the server.
    void Close();
    // True once an opened stream has failed: its source went away or the server did.
    bool Lost() const;
    // Times the server had to drop input because it was not read in time.
    std::uint64_t Overflows() const { return m_overflows.load(std::memory_order_relaxed); }
    // Frames delivered to the sink so far.
    std::uint64_t Frames() const { return m_frames.load(std::memory_order_relaxed); }
    // The source the stream was opened on (empty before Open).
    std::string OpenedOn() const;
    std::vector<Switch> Switches() const;

private:
    struct StreamDeleter {
        const PulseApi* api;
        void operator()(pa_stream* stream) const;
    };
    struct NameSlot {
        std::array<char, 256> name{};
        std::uint64_t frames = 0;
    };

    static void OnState(pa_stream* stream, void* userdata);                  // loop
    static void OnRead(pa_stream* stream, std::size_t bytes, void* userdata);  // loop
    static void OnOverflow(pa_stream* stream, void* userdata);               // loop
    static void OnMoved(pa_stream* stream, void* userdata);                  // loop
    void Deliver(const void* data, std::size_t bytes);                       // loop
    static void CopyName(std::array<char, 256>& to, const char* from);

    const PulseApi* m_api;
    std::unique_ptr<pa_stream, StreamDeleter> m_stream;
    Sink m_sink;
    bool m_named = false;
    std::uint32_t m_rate = 0;
    int m_channels = 1;                       // delivered to the sink
    std::atomic<int> m_streamChannels{0};     // the stream's own, set when ready
    std::size_t m_batchBytes = 0;             // loop: read once this much is waiting
    std::vector<std::int16_t> m_mix;          // mono frames averaged from the stream's
    std::atomic<int> m_state{0};              // pa_stream_state_t
    std::atomic<bool> m_wasReady{false};
    std::atomic<bool> m_missing{false};
    std::atomic<std::uint64_t> m_overflows{0};
    std::atomic<std::uint64_t> m_frames{0};
    NameSlot m_openedOn;                      // written before m_wasReady is set
    std::array<NameSlot, kMaxSwitches> m_switches;
    std::atomic<std::size_t> m_switchCount{0};
};

}  // namespace platform
