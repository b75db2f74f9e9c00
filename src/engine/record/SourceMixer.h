#pragma once
// Puts a recording's two sources together, on the first source's delivery thread. The first
// source's sound waits until the second source's sound of the same moment has arrived, whatever
// blocks either delivers in (at most kMaxWaitSeconds: a second source that stalls or is lost
// leaves silence); then the second source renders that stretch of time (CSecondSource) and the
// two are
//  - mixed: summed at unity gain into the recording's channels (for mono each source's channels
//    are averaged first), a limiter bringing the sum down smoothly where it would pass full
//    scale and leaving it untouched below (CPeakLimiter); or
//  - apart: the first source in the left channel and the second in the right, each downmixed
//    to mono.
// What comes out keeps the first source's timeline positions, so the recording's reports and
// times are those of the first source.
//
// Thread: the first source's delivery thread only. Allocates in the constructor only.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/record/PeakLimiter.h"
#include "engine/record/StreamClock.h"
#include "engine/record/WaveFormat.h"

class CSecondSource;

class CSourceMixer {
public:
    // The longest the first source's sound waits for the second's: longer than the blocks a
    // source delivers in (a server's sine source gives two seconds at a time).
    static constexpr double kMaxWaitSeconds = 2.5;
    // Until the second source's clock is measured (at its second block), the first source's
    // sound waits longer: as long as the second source's ring still holds what it captured then.
    static constexpr double kMaxUnsettledWaitSeconds = 3.5;
    // Takes the mixed sound: count 16-bit values in the recording's channels, whose first
    // frame lies at position at of the first source's timeline.
    using Out = std::function<void(const std::int16_t* samples, std::size_t count, std::uint64_t at)>;

    // format: the recording's (1 or 2 channels); apart needs stereo and is ignored for mono.
    CSourceMixer(CSecondSource& second, const WaveFormat& format, bool apart);

    // One of the first source's deliveries (see CCaptureQueue::Arrival), for its clock.
    void Arrived(std::int64_t nanos, std::uint64_t framesEnd) { m_clock.Arrived(nanos, framesEnd); }
    // A buffer of the first source: frames frames from timeline position at on. Until the first
    // source's clock can be trusted, its sound waits (at most the waiting room's few seconds).
    void Add(const std::int16_t* samples, std::size_t frames, std::uint64_t at, const Out& out);
    // At the end, before Flush: waits (sleeping, on this thread) until the second source's sound
    // has arrived for every waiting frame, at most a little more than the second source's time
    // between deliveries and never more than kMaxWaitSeconds, so its last block is in the mix.
    void AwaitSecond();
    // The end: mixes what still waits, and what the limiter holds.
    void Flush(const Out& out);
    // The first source's frames alone, as the mix lays them out with the second source silent
    // (apart: the first downmixed in the left channel, the right one silent); frames frames
    // from samples into out, both in the recording's channels.
    void FirstAlone(const std::int16_t* samples, std::size_t frames, std::int16_t* out) const;
    bool Apart() const { return m_apart; }

private:
    // Mixes the oldest frames frames (all of them when flushing).
    void Mix(std::size_t frames, const Out& out);
    // How many of the waiting frames the second source's sound has arrived for, up to until
    // (see CSecondSource::ArrivedUntil).
    std::size_t Covered(double until) const;
    // The mixed (or apart) frame i of the current block, into m_frame.
    void Combine(const std::int16_t* first, const float* second);
    void Emit(const std::int16_t* frame, std::uint64_t at, const Out& out);

    CSecondSource& m_second;
    int m_channels;
    int m_secondChannels;
    bool m_apart;
    CStreamClock m_clock;
    CPeakLimiter m_limiter;
    // The waiting first-source frames, with their timeline positions, oldest first: a ring of
    // m_capacity frames. Its memory is not cleared beforehand (several megabytes, which the
    // window's thread would otherwise clear at Record): a slot is read only once written.
    std::unique_ptr<std::int16_t[]> m_waiting;
    std::unique_ptr<std::uint64_t[]> m_positions;
    // Where the last block handed to the second source ended, and the line's restarts then.
    std::uint64_t m_renderedUntil = 0;
    std::uint64_t m_renderedRestarts = 0;
    std::size_t m_capacity;
    std::size_t m_head = 0;
    std::size_t m_count = 0;
    std::size_t m_maxWait;
    std::size_t m_maxUnsettledWait;
    // Work memory of one block.
    std::vector<std::int16_t> m_block;
    std::vector<float> m_rendered;
    std::vector<float> m_frame;
    std::vector<std::int16_t> m_out;
    // Timeline positions of what the limiter holds (a ring: the next one in, and the next one
    // out): its output lags by its look-ahead.
    std::vector<std::uint64_t> m_limiterPositions;
    std::size_t m_limitedSlot = 0;
    std::size_t m_emittedSlot = 0;
    std::vector<std::int16_t> m_outBlock;
    std::size_t m_outCount = 0;
    std::uint64_t m_outAt = 0;
};
