#pragma once
// A record stream on the process's sound-server connection (PulseServer): 16-bit samples at the
// asked rate, about 100 ms a delivery, handed to a sink on the loop's thread.
//
// Mono is made here, not by the server: the stream takes the source's own channels and each
// frame's channels are averaged (a server's own stereo-to-mono mix may add 3 dB and clip).
// A named source is kept: the server may not move the stream off it, and when the source goes
// the stream fails (Lost). With no name the stream follows the desktop's default input, and
// every move is noted (Switches) with the frames delivered before it.
//
// The server keeps up to kBufferLength of input the program has not read yet (the stream's
// maxlength). That is longer than the recorder's own queue, so a program that stalls (stopped,
// swapped out) for a few seconds loses nothing at the server; and the input a longer stall
// loses there is measured (Drops, see PulseDropMeter): PipeWire's interface then throws the
// whole buffer away, PulseAudio drops what comes after it.
//
// Threads. Begin, Poll, Start, Close and the queries on the owner's (user-interface) thread.
// The sink runs on the server connection's loop thread, only between Start and Close: it gets
// whole frames of the asked channel count and must only copy. The callbacks of this class copy
// into memory allocated by Begin and set atomics.
//
// Without a connected server (libpulse not loaded, or no server) Begin returns false.

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/pulse/PulseDropMeter.h"
#include "platform/pulse/PulseStream.h"

namespace platform {

class PulseCapture {
public:
    using Sink = std::function<void(const std::uint8_t* data, std::size_t bytes)>;
    // The server had captured framesAhead frames beyond those given to the sink by nanos
    // (steady-clock nanoseconds). Loop thread.
    using Timing = std::function<void(std::int64_t nanos, std::uint64_t framesAhead)>;
    // Whether timing answers are wanted now (loop thread; it must only read).
    using TimingWanted = std::function<bool()>;
    using Progress = PulseStream::Progress;
    using Drop = PulseDropMeter::Drop;
    // The stream went over to another source: its name, and the frames delivered before.
    struct Switch {
        std::string source;
        std::uint64_t frames = 0;
    };
    static constexpr std::size_t kMaxSwitches = 32;
    // The server's buffer for the stream (counted for two channels; the server caps it at 4 MB).
    static constexpr std::chrono::seconds kBufferLength{10};
    // Timing answers the latency is the middle of, how many it waits for, and how often a read
    // asks for one at least, once it is known and before (the server's own answers come 1.5 s
    // apart once a stream runs).
    static constexpr std::size_t kLatencyAnswers = 9;
    static constexpr std::size_t kLatencyFirstAnswers = 7;
    static constexpr std::chrono::milliseconds kLatencyAskEvery{250};
    static constexpr std::chrono::milliseconds kLatencyFirstAskEvery{50};

    PulseCapture();
    ~PulseCapture();
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    // Asks for the stream, corked: rate in Hz, channels 1 or 2 as the sink gets them, source a
    // source's name or empty for the default. The server's state must be Ready. False when the
    // request could not even be sent. Does not wait for the server.
    // timing, when set, is told the server's count of frames after every delivery while
    // wanted (when set) says so, where the server hands sound over on a cycle of its own
    // (PipeWire).
    bool Begin(std::uint32_t rate, int channels, const std::string& source, Sink sink, Timing timing = {},
               TimingWanted wanted = {});
    Progress Poll() const { return m_stream.Poll(); }
    // The stream's core, for following its opening (ServerStreamOpening).
    PulseStream& Core() { return m_stream; }
    // Uncorks the stream (Ready only); deliveries follow.
    bool Start();
    // Closes the stream; the sink is never called after this returns. Never waits for the
    // server. What was counted stays for the queries.
    void Close();
    // True once an opened stream has failed: its source went away or the server did.
    bool Lost() const { return m_stream.Lost(); }
    // Frames delivered to the sink so far.
    std::uint64_t Frames() const { return m_frames.load(std::memory_order_relaxed); }
    // The source the stream was opened on (empty before Ready).
    std::string OpenedOn() const;
    std::vector<Switch> Switches() const;
    // Input the server dropped, in order, at the frames delivered before each.
    std::vector<Drop> Drops() const { return m_meter.Drops(); }
    // How long the sound the sink gets takes from the source to the program: the source's own
    // latency and the way here, the middle of the server's last kLatencyAnswers timing answers
    // since the first delivery. One answer alone can be a whole write off: a source fed through
    // a pipe tells what waits in the pipe, which is nothing or the last write, depending on when
    // it is asked; and while the stream opens, what piled up before it. False until the server
    // has given kLatencyFirstAnswers since the first delivery (or while the stream is closed).
    bool Latency(std::chrono::microseconds& latency) const;

private:
    struct NameSlot {
        std::array<char, 256> name{};
        std::uint64_t frames = 0;
    };

    void OnReady(pa_stream* stream);                                           // loop
    static void OnRead(pa_stream* stream, std::size_t bytes, void* userdata);  // loop
    static void OnMoved(pa_stream* stream, void* userdata);                    // loop
    static void OnTiming(pa_stream* stream, void* userdata);                   // loop
    void AskTiming(pa_stream* stream);  // loop: asks for the server's timing unless it is asked
    void NoteLatency(std::int64_t micros);                                     // loop
    void Deliver(const void* data, std::size_t bytes);                         // loop
    static void CopyName(std::array<char, 256>& to, const char* from);

    Sink m_sink;
    Timing m_timing;
    TimingWanted m_timingWanted;
    // The server hands sound over on a cycle of its own: m_timing is told. Set when the stream
    // is ready.
    std::atomic<bool> m_cycled{false};
    std::uint32_t m_rate = 0;
    int m_channels = 1;                       // delivered to the sink
    std::atomic<int> m_streamChannels{0};     // the stream's own, set when ready
    std::size_t m_batchBytes = 0;             // loop: read once this much is waiting
    std::vector<std::int16_t> m_mix;          // mono frames averaged from the stream's
    std::atomic<std::uint64_t> m_frames{0};
    // Loop: when the last read callback came, and until when every read asks for the
    // server's timing (after a pause, so that a drop is found close to where it lies).
    std::int64_t m_lastCallback = 0;
    std::int64_t m_askUntil = 0;
    bool m_asking = false;
    std::int64_t m_lastAsk = 0;
    // Loop: the latest timing answers' latencies since the first delivery, in a ring.
    std::array<std::int64_t, kLatencyAnswers> m_answers{};
    std::size_t m_answerCount = 0;
    std::atomic<std::int64_t> m_latencyMicros{-1};  // the middle of m_answers
    PulseDropMeter m_meter;
    NameSlot m_openedOn;                      // written before the stream tells Ready
    std::array<NameSlot, kMaxSwitches> m_switches;
    std::atomic<std::size_t> m_switchCount{0};
    PulseStream m_stream;                     // last: closed before the rest goes
};

}  // namespace platform
