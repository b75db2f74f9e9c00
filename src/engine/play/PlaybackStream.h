#pragma once
// A decoder that plays: its own thread decodes ahead into a SampleRing, and a sound output
// pulls from the ring on its audio thread (Pull only copies; it never decodes or waits for
// the disk). The stream also keeps the position the listener has heard.
//
// Threads: the constructor, Seek*, Position*, Length* and OutputStopped run on the
// user-interface thread; Pull runs on the sound output's thread; decoding runs on the
// stream's own thread, which is also where seeks are carried out: a seek empties the ring,
// so nothing decoded before it is played after it.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/play/Mp3Decoder.h"
#include "engine/play/SampleRing.h"

namespace play {

class PlaybackStream {
public:
    // Takes an open decoder and starts decoding ahead from its start.
    explicit PlaybackStream(std::unique_ptr<Mp3Decoder> decoder);
    ~PlaybackStream();
    PlaybackStream(const PlaybackStream&) = delete;
    PlaybackStream& operator=(const PlaybackStream&) = delete;

    int SampleRate() const { return m_rate; }
    int Channels() const { return m_channels; }
    std::int64_t LengthFrames() const { return m_length; }
    double LengthSeconds() const { return static_cast<double>(m_length) / m_rate; }

    // What the listener has heard, in sample frames from the start (or the target of a seek
    // not yet carried out). Once the data has ended and all of it was played, the length.
    std::int64_t PositionFrames() const;
    double PositionSeconds() const { return static_cast<double>(PositionFrames()) / m_rate; }

    // Asks the decoder thread to move to a sample frame (clamped to 0..length).
    void SeekFrame(std::int64_t frame);
    void SeekSeconds(double seconds);

    // Output thread: fills out with frames interleaved samples; what is not decoded yet is
    // silence. Each call counts the frames of the call before it as heard (they have left
    // the output's buffer by now).
    void Pull(std::int16_t* out, std::size_t frames);
    // User-interface thread, after the output has stopped calling Pull: what it delivered
    // last has been played out.
    void OutputStopped();

private:
    void Run();
    void Wake();

    std::unique_ptr<Mp3Decoder> m_decoder;  // decoder thread only, once started
    const int m_rate;
    const int m_channels;
    const std::int64_t m_length;
    SampleRing m_ring;

    std::atomic<bool> m_stop{false};
    std::atomic<std::uint32_t> m_wake{0};
    std::atomic<std::int64_t> m_seekTarget{0};
    std::atomic<std::uint64_t> m_requestSeq{0};
    std::atomic<std::uint64_t> m_servedSeq{0};
    std::atomic<bool> m_endOfData{false};

    // Guards the heard position against a seek's reset; Pull holds it only while copying.
    mutable std::mutex m_mutex;
    std::int64_t m_base = 0;       // frame the current stretch started at
    std::int64_t m_heard = 0;      // frames heard since m_base
    std::int64_t m_lastChunk = 0;  // frames delivered by the latest Pull, not yet heard
    bool m_drained = false;        // the data ended and everything was delivered

    std::thread m_thread;
};

}  // namespace play
