#pragma once
// A playback stream on the process's sound-server connection (PulseServer): 16-bit samples at
// the asked rate and channels, about a fifth of a second queued at the server, filled on the
// loop's thread by a fill function that must only copy.
//
// The stream starts playing as soon as the server has made it. Every request of the server is
// answered in full (silence where the fill has nothing), so the stream's own timeline, which
// the server's timing (pa_stream_get_time, interpolated) measures, is the timeline of what was
// written: Heard() tells how many of the written frames have reached the output.
//
// Threads. Begin, Poll, Close and the queries on the owner's (user-interface) thread. The fill
// runs on the sound server connection's loop thread, only between Begin and Close.
//
// Without a connected server (libpulse not loaded, or no server) Begin returns false.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/pulse/PulseStream.h"

namespace platform {

class PulsePlayback {
public:
    // Fills out with frames interleaved frames; index is where they begin on the stream's
    // timeline (frames written before).
    using Fill = std::function<void(std::int16_t* out, std::size_t frames, std::int64_t index)>;
    // Ready: made, and the server asks for sound (SourceMissing never comes).
    using Progress = PulseStream::Progress;
    // The server has answered nothing about the stream for this long while playing (neither
    // asked for sound nor answered a timing request): it is taken as lost (a stopped server).
    static constexpr std::chrono::milliseconds kStallLimit{1500};
    // The server answers but has not asked for sound for this long: the output is taken as lost
    // too. Longer than what an output may have rendered ahead while it was idle, which it
    // plays before it asks for a new stream's sound (PulseAudio's null sink, alone, renders
    // two seconds ahead).
    static constexpr std::chrono::milliseconds kSilenceLimit{5000};
    // Not asked for sound for this long: Lost asks the server for the stream's timing, which a
    // running server answers at once.
    static constexpr std::chrono::milliseconds kAskAfter{500};

    PulsePlayback();
    ~PulsePlayback();
    PulsePlayback(const PulsePlayback&) = delete;
    PulsePlayback& operator=(const PulsePlayback&) = delete;

    // Asks for the stream on the default output (PULSE_SINK when set): rate in Hz, channels 1
    // or 2. The server's state must be Ready. False when the request could not even be sent.
    // Does not wait for the server.
    bool Begin(std::uint32_t rate, int channels, Fill fill);
    Progress Poll() const { return m_stream.Poll(); }
    // The stream's core, for following its opening (ServerStreamOpening).
    PulseStream& Core() { return m_stream; }
    // Closes the stream; the fill is never called after this returns. What is still queued is
    // dropped. Never waits for the server.
    void Close() { m_stream.Close(); }
    // True once a stream that played has failed (the output or the server went away), the
    // server has stopped answering (kStallLimit) or asks for no sound any more (kSilenceLimit).
    // An output that only starts late is not lost: while no sound is asked for, this asks the
    // server for the stream's timing (never waits) and its answer counts as a sign of life.
    bool Lost() const;
    // Frames of the stream's timeline that have reached the output, by the server's timing
    // (never more than were written); 0 before the server's first timing answer, and once the
    // stream has failed what it was last.
    std::int64_t Heard() const;

private:
    static void OnWrite(pa_stream* stream, std::size_t bytes, void* userdata);  // loop
    static void OnTiming(pa_stream* stream, void* userdata);                    // loop

    Fill m_fill;
    std::uint32_t m_rate = 0;
    std::size_t m_frameBytes = 0;
    std::atomic<std::int64_t> m_written{0};       // frames; loop writes
    std::atomic<std::int64_t> m_lastRequest{0};   // steady-clock nanoseconds
    std::atomic<std::int64_t> m_lastAnswer{0};    // a timing answer; steady-clock nanoseconds
    mutable std::int64_t m_lastAsked = 0;         // owner's thread: Lost's last timing request
    mutable std::int64_t m_heard = 0;             // owner's thread: the last Heard()
    PulseStream m_stream;                         // last: closed before the rest goes
};

}  // namespace platform
