#include "engine/record/StreamClock.h"

#include <algorithm>
#include <cmath>

namespace {

// Arrivals kept: a window's worth of the shortest blocks a server hands over.
constexpr std::size_t kMaxPoints = 512;
// Arrivals closer than this are pieces of one delivery.
constexpr double kGroupNanos = 5e6;
// The stretch of time in which only the earliest arrival counts.
constexpr double kBinNanos = 0.25e9;
// The stretch the line goes through when it holds at least kLineBins earliest arrivals.
constexpr double kLineSeconds = 4.0;
constexpr std::size_t kLineBins = 8;
// The least time between two arrivals whose slope counts.
constexpr double kPairNanos = 0.5e9;
// How late against the others a stretch's earliest arrival may lie and still count for the slope.
constexpr double kLateNanos = 2e6;
// How far the first stretch's earliest arrival may lie ahead of the next two's and still count.
constexpr double kBacklogNanos = 10e6;
// The share of the window's span over which the slope through a bursty source's arrivals is
// followed.
constexpr double kUnevenSlopeShare = 0.1;

}  // namespace

CStreamClock::CStreamClock(double nominalRate)
    : m_nominalPeriod(1e9 / std::max(nominalRate, 1.0)), m_period(m_nominalPeriod), m_points(kMaxPoints),
      m_earliest(static_cast<std::size_t>(kWindowSeconds * 1e9 / kBinNanos) + 2), m_kept(m_earliest.size()),
      m_scratch(kMaxPoints)
{
    m_slopes.resize(m_earliest.size() * m_earliest.size() / 2);
}

void CStreamClock::Arrived(std::int64_t nanos, std::uint64_t framesEnd)
{
    const double t = static_cast<double>(nanos);
    const double frame = static_cast<double>(framesEnd);
    if (m_count > 0) {
        const double late = t - TimeOf(frame);
        // A delivery far later than the line puts it is taken for a start afresh only once the
        // next one is as far off: a stall (a busy server, a held thread) hands over what piled
        // up late, and those that follow come back onto the line, which stays. Pieces of one
        // delivery are doubted with it.
        if (frame >= m_frame && late > kRestartNanos && (!m_doubting || t - m_doubtedTime < kGroupNanos)) {
            m_doubting = true;
            m_doubtedTime = t;
            m_doubtedFrame = frame;
            return;
        }
        const bool off = frame < m_frame || std::fabs(late) > kRestartNanos;
        // Still off a delivery later: the line starts afresh from the doubted one. Back on it:
        // the doubted one was a stall's, and is forgotten.
        const bool confirmed = m_doubting && off && frame >= m_frame;
        m_doubting = false;
        if (off) {
            ++m_restarts;
            m_count = 0;
        }
        if (confirmed)
            Arrived(static_cast<std::int64_t>(m_doubtedTime), static_cast<std::uint64_t>(m_doubtedFrame));
    }
    if (m_count == 0) {
        m_judged = m_steady = false;
        m_unevenAt = -1;
        m_mostUneven = 0;
        m_mostEarly = 0;
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
    // A block can only arrive late, never before it was captured: a scheduler or a busy server
    // adds delay, none takes it away. So the line lies along the earliest arrivals, not through
    // their middle: in each stretch of kBinNanos, the arrival that came soonest for its frames.
    std::size_t bins = 0;
    double bin = 0;
    for (std::size_t i = 0; i < m_count; ++i) {
        const Point& p = m_points[(m_head + i) % kMaxPoints];
        // Stretches on a fixed grid, so the window's sliding on does not regroup them.
        const double index = std::floor(p.time / kBinNanos);
        if (bins == 0 || index != bin) {
            if (bins == m_earliest.size())
                break;
            bin = index;
            m_earliest[bins++] = p;
        } else if (p.time - p.frame * m_nominalPeriod <
                   m_earliest[bins - 1].time - m_earliest[bins - 1].frame * m_nominalPeriod) {
            m_earliest[bins - 1] = p;
        }
    }
    // A source may hand over what it held before it started at once, with its first blocks:
    // those run ahead of every later one, as no block can. The first stretch since the line
    // started is left out when it lies far ahead of the next two (the newer of them may hold only
    // the first piece of a delivery, so not before there are two), or it would tilt the line
    // and take the source for one with a rhythm of its own.
    if (bins >= 3 && m_earliest[0].time < kBinNanos) {
        // How late an arrival lies against the nominal pace (less: earlier).
        const auto late = [this](const Point& p) { return p.time - p.frame * m_nominalPeriod; };
        if (late(m_earliest[0]) < std::min(late(m_earliest[1]), late(m_earliest[2])) - kBacklogNanos) {
            std::copy(m_earliest.begin() + 1, m_earliest.begin() + static_cast<std::ptrdiff_t>(bins), m_earliest.begin());
            --bins;
        }
    }
    const Point& newest = m_points[(m_head + m_count - 1) % kMaxPoints];
    // The line goes through the latest kLineSeconds when they hold enough earliest arrivals,
    // so a change of pace (a server that runs a source on another device's clock for its first
    // seconds) is taken up within seconds; a source that hands over seconds at a time has too
    // few there, and its line goes through the whole window.
    std::size_t first = 0;
    while (first < bins && newest.time - m_earliest[first].time > kLineSeconds * 1e9)
        ++first;
    if (bins - first < kLineBins)
        first = 0;
    const bool steady = m_judged ? m_steady : SteadySoFar();
    const double reference = m_period;
    m_period = m_nominalPeriod;
    if (bins - first >= 4 && newest.time - m_earliest[first].time >= kRateAfterSeconds * 1e9)
        m_period = std::clamp(Slope(first, bins, reference, steady), m_nominalPeriod * 0.98, m_nominalPeriod * 1.02);
    // Once measured over kSlewAfterSeconds, a device's rate does not change: what moves the
    // slope further (a stall, a skipped cycle, a burst after a busy second, all of which tilt a
    // line through a few seconds by a percent for about a second) moves it by kRateSlew a
    // second at the most. Only for a source found steady over those seconds (see
    // kSteadySeconds): one in bursts of a rhythm of its own keeps its line through the middle
    // of the window, free to move.
    if (m_steady) {
        const double slew = m_nominalPeriod * kRateSlew * std::max(0.0, newest.time - m_lastFit) * 1e-9;
        m_period = std::clamp(m_period, reference - slew, reference + slew);
    }
    m_lastFit = newest.time;
    // The place: the median of where the earliest arrivals put frame 0 of the window, so a
    // stretch in which every block came late does not move it. Of an even count, the earlier
    // of the middle two: an arrival is never early, and with two stretches the newer may hold
    // only the first piece of a delivery whose end is still to come. For a source steady so
    // far (found so, or not yet judged and steady until now), the lower quarter: a busy
    // machine's stall may make up to three quarters of the line's stretch late, and its
    // earliest arrivals lie within a millisecond of each other. Taken from the start, so being
    // found steady does not move the line.
    const std::size_t used = bins - first;
    for (std::size_t i = 0; i < used; ++i)
        m_scratch[i] = m_earliest[first + i].time - m_earliest[first + i].frame * m_period;
    auto middle = m_scratch.begin() + static_cast<std::ptrdiff_t>((used - 1) / (steady ? 4 : 2));
    std::nth_element(m_scratch.begin(), middle, m_scratch.begin() + static_cast<std::ptrdiff_t>(used));
    m_time = m_origin + *middle;
    m_frame = m_originFrame;
    FitUneven(first, bins, steady);
    // Judged once the arrivals span kSlewAfterSeconds, by what was seen until then (this fit
    // included): a server may run a source on another device's clock for its first
    // seconds, and a pipe it reads turns from a steady line to a sawtooth of a few milliseconds
    // only once it runs at its own pace, which must stay free to be taken up.
    if (!m_judged && newest.time - m_earliest[0].time >= kSlewAfterSeconds * 1e9) {
        m_judged = true;
        m_steady = SteadySoFar();
    }
}

double CStreamClock::Slope(std::size_t first, std::size_t bins, double reference, bool steady)
{
    // A stretch whose every arrival came late (a delivery held up past the end of its quarter
    // second, the newest stretch holding only one so far) is no earliest arrival at all: set
    // against the others on the last line, one that lies more than kLateNanos (or three times
    // their middle spread) late is left out. With five stretches, two such would otherwise
    // decide the median. For a steady source, against the lower quarter and its spread: a stall
    // may make half its stretches late, and it must not tilt the line either.
    const std::size_t used = bins - first;
    for (std::size_t i = 0; i < used; ++i)
        m_scratch[i] = m_earliest[first + i].time - m_earliest[first + i].frame * reference;
    std::copy_n(m_scratch.begin(), used, m_slopes.begin());
    const auto at = m_slopes.begin() + static_cast<std::ptrdiff_t>(steady ? (used - 1) / 4 : used / 2);
    std::nth_element(m_slopes.begin(), at, m_slopes.begin() + static_cast<std::ptrdiff_t>(used));
    const double place = *at;
    for (std::size_t i = 0; i < used; ++i)
        m_slopes[i] = std::fabs(m_scratch[i] - place);
    std::nth_element(m_slopes.begin(), at, m_slopes.begin() + static_cast<std::ptrdiff_t>(used));
    const double late = place + std::max(kLateNanos, 3 * *at);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < used; ++i)
        if (m_scratch[i] <= late)
            m_kept[kept++] = m_earliest[first + i];
    if (kept < 3)
        std::copy_n(m_earliest.begin() + static_cast<std::ptrdiff_t>(first), kept = used, m_kept.begin());
    // The slope: the median of the slopes between every two of them at least kPairNanos apart,
    // so a stretch of them that came late together (what piled up before the stream started, a
    // server catching up) does not tilt it as it would a least-squares line.
    std::size_t pairs = 0;
    for (std::size_t i = 0; i < kept; ++i)
        for (std::size_t j = i + 1; j < kept; ++j)
            if (m_kept[j].time - m_kept[i].time >= kPairNanos && m_kept[j].frame > m_kept[i].frame)
                m_slopes[pairs++] = (m_kept[j].time - m_kept[i].time) / (m_kept[j].frame - m_kept[i].frame);
    if (pairs == 0)
        return m_nominalPeriod;
    const auto middle = m_slopes.begin() + static_cast<std::ptrdiff_t>(pairs / 2);
    std::nth_element(m_slopes.begin(), middle, m_slopes.begin() + static_cast<std::ptrdiff_t>(pairs));
    return *middle;
}

void CStreamClock::FitUneven(std::size_t first, std::size_t bins, bool steady)
{
    // How far the earliest arrivals lie off the line, in the middle: a few milliseconds for a
    // device delivering at its own pace, tens for a source fed in bursts of uneven rhythm.
    m_unevenness = 0;
    if (bins < kLineBins)
        return;
    const double place = m_time - m_origin;
    for (std::size_t i = 0; i < bins; ++i)
        m_scratch[i] = std::fabs(m_earliest[i].time - m_earliest[i].frame * m_period - place);
    const auto middle = m_scratch.begin() + static_cast<std::ptrdiff_t>(bins / 2);
    std::nth_element(m_scratch.begin(), middle, m_scratch.begin() + static_cast<std::ptrdiff_t>(bins));
    m_unevenness = *middle * 1e-9;
    m_mostUneven = std::max(m_mostUneven, m_unevenness);
    // How far the line's stretch ran ahead of it, the newest left out (it may hold only the
    // first piece of a delivery): a device's arrivals lie along the line or behind it.
    double early = 0;
    for (std::size_t i = first; i + 1 < bins; ++i)
        early = std::max(early, place - (m_earliest[i].time - m_earliest[i].frame * m_period));
    m_mostEarly = std::max(m_mostEarly, early * 1e-9);
    // A steady source keeps its line along the earliest arrivals: what scatters them is a busy
    // moment (a stall, a skipped cycle), not a rhythm of its own.
    if (m_unevenness < kUnevenSeconds || steady) {
        m_unevenAt = -1;
        return;
    }
    // Bursts that come early and late in a rhythm of their own (a pipe fed by a rate-limiting
    // writer, a network source): the earliest of each stretch follow the rhythm, not the
    // source's pace, while the middle of all arrivals over the window averages it out. So the
    // line goes through the middle: least squares over the window.
    double frames = 0, times = 0;
    for (std::size_t i = 0; i < m_count; ++i) {
        const Point& p = m_points[(m_head + i) % kMaxPoints];
        frames += p.frame;
        times += p.time;
    }
    const double n = static_cast<double>(m_count);
    const double meanFrame = frames / n, meanTime = times / n;
    double sff = 0, sft = 0;
    for (std::size_t i = 0; i < m_count; ++i) {
        const Point& p = m_points[(m_head + i) % kMaxPoints];
        sff += (p.frame - meanFrame) * (p.frame - meanFrame);
        sft += (p.frame - meanFrame) * (p.time - meanTime);
    }
    if (sff <= 0)
        return;
    // The slope of that line swings by a few hundredths of a percent as each delivery comes
    // (the newest arrival, early or late, weighs most at the window's end), which moves the
    // line's end by milliseconds from one delivery to the next. Once the window spans
    // kSlewAfterSeconds the slope is followed over a tenth of its span, so the swings average
    // out; before, it is still being found and is taken as it comes.
    const double slope = std::clamp(sft / sff, m_nominalPeriod * 0.98, m_nominalPeriod * 1.02);
    const double newest = m_points[(m_head + m_count - 1) % kMaxPoints].time;
    const double span = newest - m_points[m_head].time;
    if (m_unevenAt < 0 || span < kSlewAfterSeconds * 1e9)
        m_unevenPeriod = slope;
    else
        m_unevenPeriod += (slope - m_unevenPeriod) * std::min(1.0, (newest - m_unevenAt) / (kUnevenSlopeShare * span));
    m_unevenAt = newest;
    m_period = m_unevenPeriod;
    m_time = m_origin + meanTime - meanFrame * m_period;
}

bool CStreamClock::SteadySoFar() const
{
    return m_mostUneven < kSteadySeconds || m_mostEarly < kEarlySeconds;
}

bool CStreamClock::Settled() const
{
    // Two deliveries far enough apart place the line: a source that hands over seconds at a
    // time is settled at its second block, not after four.
    if (m_count < 2)
        return false;
    const double span = m_points[(m_head + m_count - 1) % kMaxPoints].time - m_points[m_head].time;
    return span >= kSettleSeconds * 1e9;
}
