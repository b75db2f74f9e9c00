#pragma once
// Where a sound stream stands against the steady clock. A stream hands over its sound in blocks
// that arrive with jitter (a scheduler's, a server's) and whose size depends on the source; from
// the arrival time of each block and the count of frames it completed, a second-order
// delay-locked loop keeps a smooth estimate of the time at which any frame of the stream
// arrived, and of the stream's true rate, which differs a little from its nominal rate on any
// real device. The loop's bandwidth follows the block length, so a stream of long blocks is
// followed slowly rather than wrongly; an arrival far off the estimate (a stall, a burst after
// one, a gap) starts the estimate afresh.
//
// Thread: one at a time (the recording's delivery thread).

#include <cstdint>

class CStreamClock {
public:
    // The stream's nominal frames per second.
    explicit CStreamClock(double nominalRate);

    // A block arrived at nanos (steady-clock nanoseconds); the stream had then delivered
    // framesEnd frames on its timeline.
    void Arrived(std::int64_t nanos, std::uint64_t framesEnd);
    // Forgets everything: the next arrival starts the estimate afresh.
    void Reset() { m_blocks = 0; }
    // At least one block has arrived.
    bool Started() const { return m_blocks > 0; }
    // Started long enough ago that the rate estimate can be trusted.
    bool Settled() const { return m_blocks >= kSettleBlocks; }
    // When frame (fractional) arrived, or would arrive, in steady-clock nanoseconds.
    double TimeOf(double frame) const;
    // The frame that arrived at nanos.
    double FrameAt(double nanos) const;
    // The estimated frames per second.
    double Rate() const { return 1e9 / m_period; }
    // Times the estimate started afresh after an arrival far off it.
    std::uint64_t Restarts() const { return m_restarts; }

    // An arrival further than this off the estimate starts it afresh.
    static constexpr double kRestartNanos = 0.25e9;

private:
    static constexpr int kSettleBlocks = 30;
    double m_nominalPeriod;  // nanoseconds per frame
    double m_period;
    double m_time = 0;       // when m_frame arrived
    double m_frame = 0;
    std::uint64_t m_blocks = 0;
    std::uint64_t m_restarts = 0;
};
