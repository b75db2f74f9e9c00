#include "engine/record/PeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFullScale = 32767.0;

}  // namespace

CPeakLimiter::CPeakLimiter(int channels, std::uint32_t rate)
    : m_channels(std::clamp(channels, 1, 2)),
      m_length(std::max<std::size_t>(1, static_cast<std::size_t>(kLookAheadSeconds * rate))),
      m_release(1.0 - std::exp(-1.0 / (kReleaseSeconds * std::max<std::uint32_t>(rate, 1)))),
      m_frames((m_length + 1) * static_cast<std::size_t>(m_channels), 0.0f),
      m_mins(m_length + 2, 0),
      m_minNeeds(m_length + 2, 1.0),
      m_floors(m_length, 1.0),
      m_floorSum(static_cast<double>(m_length))
{
}

bool CPeakLimiter::Push(const float* frame, std::int16_t* out)
{
    // The peak as a float: the same comparisons, and the same need, as in double.
    float peak = 0;
    for (int c = 0; c < m_channels; ++c)
        peak = std::max(peak, std::fabs(frame[c]));
    ++m_real;
    if (peak > static_cast<float>(kFullScale) || !Quiet())
        return Step(frame, peak > static_cast<float>(kFullScale) ? kFullScale / peak : 1.0, out);
    // What Step does for a frame that needs no limiting while all is quiet, without its
    // bookkeeping: the new frame replaces the last one as the queue's only minimum, the floor
    // that leaves and the one that comes are both 1, and the leaving frame goes out at gain 1.
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    const std::size_t slot = m_inSlot;
    m_inSlot = slot + 1 == m_length + 1 ? 0 : slot + 1;
    m_mins[m_minsHead] = m_in++;
    m_floorSlot = m_floorSlot + 1 == m_length ? 0 : m_floorSlot + 1;
    float* held = &m_frames[slot * channels];
    const float* leaving = &m_frames[m_inSlot * channels];
    for (std::size_t c = 0; c < channels; ++c) {
        held[c] = frame[c];
        const double v = std::clamp(static_cast<double>(leaving[c]), -kFullScale, kFullScale);
        out[c] = static_cast<std::int16_t>(v >= 0 ? v + 0.5 : v - 0.5);
    }
    ++m_out;
    return m_out <= m_real;
}

bool CPeakLimiter::Drain(std::int16_t* out)
{
    if (m_out >= m_real)
        return false;
    const float silence[2] = {0.0f, 0.0f};
    // Padding after the end: it only moves the held frames out.
    while (m_out < m_real)
        if (Step(silence, 1.0, out))
            return true;
    return false;
}

bool CPeakLimiter::Step(const float* frame, double need, std::int16_t* out)
{
    // Ring positions move on by one and wrap: no division per frame (this runs for every frame
    // of a two-source recording).
    const auto next = [](std::size_t i, std::size_t size) { return i + 1 == size ? 0 : i + 1; };
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    const std::uint64_t index = m_in++;
    const std::size_t slot = m_inSlot;
    // With one slot more than the look-ahead, the next slot holds the frame about to leave.
    m_inSlot = next(slot, m_length + 1);
    // The window from the frame about to leave to this one; what lies before it goes first.
    const std::uint64_t leaving = index >= m_length ? index - m_length : 0;
    const std::size_t slots = m_mins.size();
    while (m_minsCount > 0 && m_mins[m_minsHead] < leaving) {
        m_minsHead = next(m_minsHead, slots);
        --m_minsCount;
    }
    for (std::size_t c = 0; c < channels; ++c)
        m_frames[slot * channels + c] = frame[c];
    // The frames whose need is the least from them on, in order (a monotonic queue).
    const auto at = [&](std::size_t k) { return m_minsHead + k >= slots ? m_minsHead + k - slots : m_minsHead + k; };
    while (m_minsCount > 0 && m_minNeeds[at(m_minsCount - 1)] >= need)
        --m_minsCount;
    m_mins[at(m_minsCount)] = index;
    m_minNeeds[at(m_minsCount)] = need;
    ++m_minsCount;
    if (index < m_length)
        return false;
    // The frame leaving: the least need over it and the look-ahead after it.
    const double floor = m_minNeeds[m_minsHead];
    // The ramp: the mean of the last look-ahead's minimums reaches a peak's need at the peak.
    double& kept = m_floors[m_floorSlot];
    m_floorSlot = next(m_floorSlot, m_length);
    m_lowFloors += (floor < 1.0 ? 1 : 0) - (kept < 1.0 ? 1 : 0);
    m_floorSum += floor - kept;
    kept = floor;
    // Exactly 1 while nothing near needs less: below full scale the sound passes as it is.
    double ramp = m_lowFloors == 0 ? 1.0 : m_floorSum / static_cast<double>(m_length);
    // The first frames have no look-ahead's time before them to ramp down in.
    if (leaving < m_length)
        ramp = std::min(ramp, floor);
    if (m_lowFloors == 0)
        m_floorSum = static_cast<double>(m_length);
    m_gain = std::min(ramp, m_gain + (1.0 - m_gain) * m_release);
    // Back within a thousandth: back to 1, a step nobody hears.
    if (m_gain > 1.0 - 1e-3)
        m_gain = ramp;
    const float* f = &m_frames[m_inSlot * channels];
    for (std::size_t c = 0; c < channels; ++c) {
        // Rounded half away from zero, as std::lround (exact: a float and a half fit a double).
        const double v = std::clamp(static_cast<double>(f[c]) * m_gain, -kFullScale, kFullScale);
        out[c] = static_cast<std::int16_t>(v >= 0 ? v + 0.5 : v - 0.5);
    }
    ++m_out;
    return m_out <= m_real;
}
