#include "engine/record/StreamClock.h"

#include <algorithm>
#include <cmath>

namespace {

// Arrivals kept: a window's worth of the shortest blocks a server hands over.
constexpr std::size_t kMaxPoints = 512;
// Arrivals closer than this are pieces of one delivery.
constexpr double kGroupNanos = 5e6;

}  // namespace

CStreamClock::CStreamClock(double nominalRate)
    : m_nominalPeriod(1e9 / std::max(nominalRate, 1.0)), m_period(m_nominalPeriod), m_points(kMaxPoints),
      m_scratch(kMaxPoints)
{
}

void CStreamClock::Arrived(std::int64_t nanos, std::uint64_t framesEnd)
{
    const double t = static_cast<double>(nanos);
    const double frame = static_cast<double>(framesEnd);
    if (m_count > 0 && (frame < m_frame || std::fabs(t - TimeOf(frame)) > kRestartNanos)) {
        ++m_restarts;
        m_count = 0;
    }
    if (m_count == 0) {
        m_origin = t;
        m_originFrame = frame;
        m_period = m_nominalPeriod;
        m_head = 0;
    }
    // Arrivals close together are one delivery that came in pieces (a burst read a batch at a
    // time): only where it ended counts, or the burst would tilt the line.
    if (m_count > 0) {
        Point& last = m_points[(m_head + m_count - 1) % kMaxPoints];
        if ((t - m_origin) - last.time < kGroupNanos) {
            last = Point{t - m_origin, frame - m_originFrame};
            Fit();
            return;
        }
    }
    // The oldest arrivals go when the window is full or spans more than its length.
    while (m_count > 0 && (m_count == kMaxPoints || (t - m_origin) - m_points[m_head].time > kWindowSeconds * 1e9)) {
        m_head = (m_head + 1) % kMaxPoints;
        --m_count;
    }
    m_points[(m_head + m_count) % kMaxPoints] = Point{t - m_origin, frame - m_originFrame};
    ++m_count;
    Fit();
}

void CStreamClock::Fit()
{
    const Point& oldest = m_points[m_head];
    const Point& newest = m_points[(m_head + m_count - 1) % kMaxPoints];
    if (m_count >= 8 && newest.time - oldest.time >= kRateAfterSeconds * 1e9) {
        // The slope by least squares, about the window's means.
        double meanT = 0, meanF = 0;
        for (std::size_t i = 0; i < m_count; ++i) {
            meanT += m_points[(m_head + i) % kMaxPoints].time;
            meanF += m_points[(m_head + i) % kMaxPoints].frame;
        }
        meanT /= static_cast<double>(m_count);
        meanF /= static_cast<double>(m_count);
        double sff = 0, sft = 0;
        for (std::size_t i = 0; i < m_count; ++i) {
            const Point& p = m_points[(m_head + i) % kMaxPoints];
            sff += (p.frame - meanF) * (p.frame - meanF);
            sft += (p.frame - meanF) * (p.time - meanT);
        }
        if (sff > 0) {
            const double slope = sft / sff;
            // How sure the slope is: a device that runs at its nominal rate as far as the
            // arrivals can tell keeps its nominal rate, so the jitter of the arrivals is never
            // heard as a wavering pitch.
            double residuals = 0;
            for (std::size_t i = 0; i < m_count; ++i) {
                const Point& p = m_points[(m_head + i) % kMaxPoints];
                const double off = (p.time - meanT) - slope * (p.frame - meanF);
                residuals += off * off;
            }
            const double error = std::sqrt(residuals / static_cast<double>(std::max<std::size_t>(m_count - 2, 1)) / sff);
            m_period = std::fabs(slope - m_nominalPeriod) > 3.0 * error
                           ? std::clamp(slope, m_nominalPeriod * 0.98, m_nominalPeriod * 1.02)
                           : m_nominalPeriod;
        }
    }
    // The place: the median of where each arrival puts frame 0 of the window.
    for (std::size_t i = 0; i < m_count; ++i) {
        const Point& p = m_points[(m_head + i) % kMaxPoints];
        m_scratch[i] = p.time - p.frame * m_period;
    }
    auto middle = m_scratch.begin() + static_cast<std::ptrdiff_t>(m_count / 2);
    std::nth_element(m_scratch.begin(), middle, m_scratch.begin() + static_cast<std::ptrdiff_t>(m_count));
    m_time = m_origin + *middle;
    m_frame = m_originFrame;
}

bool CStreamClock::Settled() const
{
    if (m_count < 4)
        return false;
    const double span = m_points[(m_head + m_count - 1) % kMaxPoints].time - m_points[m_head].time;
    return span >= kSettleSeconds * 1e9;
}
