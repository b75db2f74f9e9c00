#pragma once
// A decoder that plays: its own thread decodes ahead into a SampleRing, and a sound output
// pulls from the ring on its audio thread (Pull only copies; it never decodes or waits for
// the disk). The stream also keeps the position the listener has heard: it notes where on the
// output's timeline each run of frames went, and the output tells how far that timeline has
// been heard.
//
// Threads: the constructor, Seek*, Position*, Length* and OutputStopped run on the
// user-interface thread; Pull runs on the sound output's thread; decoding runs on the
// stream's own thread, which is also where seeks are carried out: a seek empties the ring,
// so nothing decoded before it is played after it.

#include <array>
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
    // not yet carried out), given how far along the output's timeline the sound has reached
    // (SoundOutput::HeardIndex; negative: nothing of this stretch yet). Once all of the data
    // was heard, the length.
    std::int64_t PositionFrames(std::int64_t heardIndex) const;
    double PositionSeconds(std::int64_t heardIndex) const
    {
        return static_cast<double>(PositionFrames(heardIndex)) / m_rate;
    }

    // Asks the decoder thread to move to a sample frame (clamped to 0..length).
    void SeekFrame(std::int64_t frame);
    void SeekSeconds(double seconds);

    // Output thread: fills out with frames interleaved samples; what is not decoded yet is
    // silence. index is where out begins on the output's own timeline of frames (each call
    // continues the last one's unless the output was stopped in between).
    void Pull(std::int16_t* out, std::size_t frames, std::int64_t index);
    // User-interface thread, once the output has stopped calling Pull: heardIndex is how far
    // the sound got. What was pulled beyond it was not heard and is played again next time.
    void OutputStopped(std::int64_t heardIndex);

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

    // A run of decoded frames handed to the output: where it begins on the output's timeline,
    // where in the file, and how long it is. Pulls that continue a run lengthen it; silence
    // between runs (nothing decoded in time) starts a new one.
    struct Delivered {
        std::int64_t index = 0;
        std::int64_t frame = 0;
        std::int64_t frames = 0;
    };
    static constexpr std::size_t kRuns = 16;
    std::int64_t PositionLocked(std::int64_t heardIndex) const;

    // Guards the heard position against a seek's reset; Pull holds it only while copying.
    mutable std::mutex m_mutex;
    std::int64_t m_base = 0;      // frame the current stretch started at
    std::int64_t m_next = 0;      // frame the next pull delivers
    std::array<Delivered, kRuns> m_runs{};  // the latest kRuns runs of this stretch, a ring
    std::size_t m_runCount = 0;       // runs ever begun in this stretch
    std::int64_t m_drainedIndex = -1; // where on the timeline the data ran out, once it has

    std::thread m_thread;
};

}  // namespace play
