#include "engine/record/StreamClock.h"

#include <algorithm>
#include <cmath>

namespace {

// The loop's bandwidth, and its floor for blocks so long that a second's worth would be
// unstable: at most a tenth of the block rate.
constexpr double kBandwidthHz = 0.05;

}  // namespace

CStreamClock::CStreamClock(double nominalRate)
    : m_nominalPeriod(1e9 / std::max(nominalRate, 1.0)), m_period(m_nominalPeriod)
{
}

void CStreamClock::Arrived(std::int64_t nanos, std::uint64_t framesEnd)
{
    const double t = static_cast<double>(nanos);
    const double frame = static_cast<double>(framesEnd);
    if (m_blocks == 0 || frame <= m_frame) {
        if (m_blocks > 0)
            ++m_restarts;
        m_blocks = 1;
        m_time = t;
        m_frame = frame;
        m_period = m_nominalPeriod;
        return;
    }
    const double frames = frame - m_frame;
    const double predicted = m_time + frames * m_period;
    const double error = t - predicted;
    if (std::fabs(error) > kRestartNanos) {
        ++m_restarts;
        m_blocks = 1;
        m_time = t;
        m_frame = frame;
        m_period = m_nominalPeriod;
        return;
    }
    // Second-order loop (phase and period), its bandwidth scaled to this block's length.
    const double blockSeconds = frames * m_period * 1e-9;
    const double bandwidth = std::min(kBandwidthHz, 0.1 / std::max(blockSeconds, 1e-3));
    // While settling, a wider loop takes the first blocks' rate in quickly.
    const double settle = m_blocks < kSettleBlocks ? 8.0 : 1.0;
    const double omega = 2.0 * M_PI * std::min(bandwidth * settle, 0.25 / std::max(blockSeconds, 1e-3)) * blockSeconds;
    const double b = std::sqrt(2.0) * omega;
    const double c = omega * omega;
    m_time = predicted + b * error;
    m_frame = frame;
    m_period += c * error / frames;
    // A real device runs within a few percent of its nominal rate.
    m_period = std::clamp(m_period, m_nominalPeriod * 0.95, m_nominalPeriod * 1.05);
    ++m_blocks;
}

double CStreamClock::TimeOf(double frame) const
{
    return m_time + (frame - m_frame) * m_period;
}

double CStreamClock::FrameAt(double nanos) const
{
    return m_frame + (nanos - m_time) / m_period;
}
