#pragma once
// Where a sound stream stands against the steady clock. A stream hands over its sound in blocks
// that arrive with jitter (a scheduler's, a server's) and whose sizes depend on the source; from
// the arrival time of each block and the count of frames it completed, a line is kept through
// the latest kWindowSeconds of arrivals, or through the latest four seconds of them where those
// hold enough, so a change of pace (a server that runs a source on another device's clock for
// its first seconds) is taken up within seconds. A block is never early, only late by what the
// system was busy with, so the line follows the earliest arrivals of each quarter second: its
// slope is the stream's true rate (a little off its nominal rate on any real device), the
// median of the slopes between them once the arrivals span a second (leaving out a stretch
// whose earliest arrival is still far later than the others'), and its place is the median of
// where those earliest arrivals put it, so a burst (what piled up before the stream started, a
// late scheduler) neither tilts nor moves it. A source whose arrivals stay even (a device) takes
// the lower quarter instead, and once found steady over its first seconds its rate moves only
// slowly, so a busy machine's stall or skipped cycle does not move its line either. An arrival
// far off the line (a gap, a source that came back) starts it afresh; one far late is held back
// until the next delivery tells whether it was only a stall.
//
// A source fed in bursts of a rhythm of its own (a pipe filled by a rate-limiting writer, a
// network source) is early as often as late, and its earliest arrivals trace the rhythm rather
// than its pace. When they lie more than kUnevenSeconds off the line in the middle, the line goes
// through the middle of all the window's arrivals (least squares) instead, and Unevenness tells
// how far it may wander, so whoever follows it follows slowly.
//
// Thread: one at a time (the recording's delivery thread). Allocates in the constructor only.

#include <cstddef>
#include <cstdint>
#include <vector>

class CStreamClock {
public:
    // Long enough for the line through a bursty source's arrivals to average many cycles of its
    // rhythm: over ten seconds it still wandered by ten milliseconds either way.
    static constexpr double kWindowSeconds = 20.0;
    // The rate is measured once the arrivals span this long; until then it is the nominal one.
    static constexpr double kRateAfterSeconds = 1.0;
    // The line is trusted once the arrivals span this long (two are enough).
    static constexpr double kSettleSeconds = 0.4;
    // An arrival further than this off the line starts it afresh.
    static constexpr double kRestartNanos = 0.3e9;
    // Arrivals whose earliest lie this far (seconds) off the line in the middle come in bursts
    // of a rhythm of their own, and the line goes through the middle of them instead.
    static constexpr double kUnevenSeconds = 0.01;
    // A source whose earliest arrivals lay no further than kSteadySeconds off the line in the
    // middle, or never more than kEarlySeconds ahead of it, until they spanned
    // kSlewAfterSeconds is steady: from then on its measured rate moves by at most kRateSlew (a
    // share of the nominal rate) a second, and its line stays along the earliest arrivals. Not
    // sooner: a server may run a source on another device's clock for up to four seconds
    // before its own pace shows. Either measure will do, as a block is never early: a stall in
    // the first seconds may leave half a device's arrivals far behind its line, but none ahead,
    // while a pipe fed in a rhythm of its own, or one whose pace changed, runs ahead of it.
    static constexpr double kSlewAfterSeconds = 6.0;
    static constexpr double kSteadySeconds = 0.002;
    static constexpr double kEarlySeconds = 0.003;
    static constexpr double kRateSlew = 0.0003;

    // The stream's nominal frames per second.
    explicit CStreamClock(double nominalRate);

    // A block arrived at nanos (steady-clock nanoseconds); the stream had then delivered
    // framesEnd frames on its timeline.
    void Arrived(std::int64_t nanos, std::uint64_t framesEnd);
    // Forgets everything: the next arrival starts the line afresh.
    void Reset()
    {
        m_count = 0;
        m_unevenness = 0;
        m_doubting = false;
    }
    // At least one block has arrived.
    bool Started() const { return m_count > 0; }
    // The arrivals span long enough for the line to be trusted.
    bool Settled() const;
    // When frame (fractional) arrived, or would arrive, in steady-clock nanoseconds.
    double TimeOf(double frame) const { return m_time + (frame - m_frame) * m_period; }
    // The frame that arrived at nanos.
    double FrameAt(double nanos) const { return m_frame + (nanos - m_time) / m_period; }
    // The measured frames per second.
    double Rate() const { return 1e9 / m_period; }
    // Times the line started afresh after an arrival far off it.
    std::uint64_t Restarts() const { return m_restarts; }
    // A delivery far later than the line puts it is held back until the next one tells whether
    // the line starts afresh from it (after a stall, it does not).
    bool Doubting() const { return m_doubting; }
    // How far (seconds) the arrivals' earliest lie off the line in the middle, once they span a
    // couple of seconds (0 before): how much the line may wander as it is measured afresh.
    double Unevenness() const { return m_unevenness; }

private:
    struct Point {
        double time = 0;   // nanoseconds, from m_origin
        double frame = 0;  // from m_originFrame
    };
    void Fit();
    // The line's slope (nanoseconds per frame) through the earliest arrivals [first, bins), those
    // far later than the others on a line of slope reference left out.
    // For a steady source, against the lower quarter of them instead of their median.
    double Slope(std::size_t first, std::size_t bins, double reference, bool steady);
    // Measures the unevenness over bins earliest arrivals, and how far those of the line's
    // stretch [first, bins) run ahead of it; for uneven ones not steady, puts the line through
    // the middle of all arrivals instead.
    void FitUneven(std::size_t first, std::size_t bins, bool steady);
    // Whether the arrivals so far have been those of a steady source.
    bool SteadySoFar() const;

    double m_nominalPeriod;  // nanoseconds per frame
    double m_period;
    // The line: frame m_frame arrived at m_time (steady-clock nanoseconds).
    double m_time = 0;
    double m_frame = 0;
    // The window of arrivals, a ring, relative to an origin (for the precision of doubles).
    std::vector<Point> m_points;
    // The earliest arrival of each stretch of the window (the fit's own memory).
    std::vector<Point> m_earliest;
    std::vector<Point> m_kept;  // those of them the slope goes through
    std::size_t m_head = 0;
    std::size_t m_count = 0;
    double m_origin = 0;
    double m_originFrame = 0;
    std::vector<double> m_scratch;
    std::vector<double> m_slopes;  // between pairs of the earliest arrivals (the fit's memory)
    std::uint64_t m_restarts = 0;
    // The delivery held back (steady-clock nanoseconds, frames end), while m_doubting.
    bool m_doubting = false;
    double m_doubtedTime = 0;
    double m_doubtedFrame = 0;
    // The slope (nanoseconds per frame) of the line through a bursty source's arrivals, as
    // followed, and the time of the arrival it was last followed at (< 0: not followed yet).
    double m_unevenPeriod = 0;
    double m_unevenAt = -1;
    double m_unevenness = 0;
    // When the last fit was (from m_origin).
    double m_lastFit = 0;
    // Whether the line was found steady when it first spanned kSlewAfterSeconds (m_judged),
    // the most unevenness seen since it started, and the furthest (seconds) an earliest
    // arrival ran ahead of it.
    bool m_judged = false;
    bool m_steady = false;
    double m_mostUneven = 0;
    double m_mostEarly = 0;
};
