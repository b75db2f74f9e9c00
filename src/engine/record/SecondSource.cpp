#include "engine/record/SecondSource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// Input frames read past what a block's span needs: the converter's margin.
constexpr double kReadAheadFrames = 64;
// What the first source's sound waits for beyond what a block reads: the clocks' jitter.
constexpr double kMarginSeconds = 0.03;

}  // namespace

CSecondSource::CSecondSource(CCaptureInput::MakeDevice makeDevice, const WaveFormat& format,
                             std::uint32_t recordingRate, bool mono)
    : m_recordingRate(recordingRate),
      m_channels(std::clamp<int>(format.channels, 1, 2)),
      m_rendered(mono ? 1 : m_channels),
      m_input(std::make_unique<CCaptureInput>(std::move(makeDevice), format,
                                              CCaptureInput::BufferFramesFor(format.samplesPerSec),
                                              CCaptureInput::kQueueMilliseconds)),
      m_capacity(static_cast<std::size_t>(kRingSeconds * format.samplesPerSec)),
      m_clock(format.samplesPerSec),
      m_resampler(m_rendered, static_cast<double>(recordingRate) / std::max<std::uint32_t>(format.samplesPerSec, 1)),
      m_speed(static_cast<double>(format.samplesPerSec) / std::max<std::uint32_t>(recordingRate, 1))
{
    m_ring = std::make_unique_for_overwrite<std::int16_t[]>(m_capacity * static_cast<std::size_t>(m_channels));
    m_firstReadings.reserve(kLatencyReadings + 1);
    m_secondReadings.reserve(kLatencyReadings + 1);
    m_sortedReadings.reserve(kLatencyReadings + 1);
    // The most one block reads: a tenth of a second at the largest ratio, and the converter's
    // own hold.
    m_scratch.assign((m_capacity / 10 + 4096) * static_cast<std::size_t>(m_rendered), 0);
}

CSecondSource::~CSecondSource()
{
    m_input.reset();  // its delivery thread writes into the ring
}

CCaptureInput::Progress CSecondSource::Begin()
{
    const CCaptureInput::Progress progress = m_input->Begin([this](WaveHeader& header) { OnBuffer(header); });
    return progress == CCaptureInput::Progress::Failed ? progress : Poll();
}

CCaptureInput::Progress CSecondSource::Poll()
{
    if (m_silent)
        return CCaptureInput::Progress::Failed;
    const CCaptureInput::Progress progress = m_input->Poll();
    if (progress != CCaptureInput::Progress::Started)
        return progress;
    if (m_input->FramesIn() > 0)
        return progress;
    // Open, and nothing yet: a source with a long latency gives its first sound only after it.
    const auto now = std::chrono::steady_clock::now();
    if (!m_runningSince)
        m_runningSince = now;
    if (now - *m_runningSince < kFirstSoundLimit)
        return CCaptureInput::Progress::Pending;
    m_silent = true;
    return CCaptureInput::Progress::Failed;
}

void CSecondSource::SetLatencies(double firstSeconds, double secondSeconds)
{
    // The middle of the recent readings: one reading far off either way (a busy moment's, a
    // server's estimate that jumps for a moment) does not move it.
    const auto middle = [this](std::vector<double>& recent, double seconds) {
        if (seconds > 0.0) {
            recent.push_back(seconds);
            if (recent.size() > kLatencyReadings)
                recent.erase(recent.begin());
        }
        if (recent.empty())
            return 0.0;
        m_sortedReadings = recent;
        const auto at = m_sortedReadings.begin() + static_cast<std::ptrdiff_t>(m_sortedReadings.size() / 2);
        std::nth_element(m_sortedReadings.begin(), at, m_sortedReadings.end());
        return *at;
    };
    m_firstLatency.store(middle(m_firstReadings, firstSeconds), std::memory_order_relaxed);
    m_secondLatency.store(middle(m_secondReadings, secondSeconds), std::memory_order_relaxed);
    m_latenciesTold.store(!m_firstReadings.empty() && !m_secondReadings.empty(), std::memory_order_relaxed);
}

void CSecondSource::OnBuffer(WaveHeader& header)
{
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    std::size_t frames = header.bytesRecorded / (2 * channels);
    const std::int16_t* data = header.data;
    std::uint64_t at = header.timelineFrame;
    std::lock_guard<std::mutex> lock(m_ringMutex);
    if (at < m_end) {
        // Already there (cannot happen on one timeline): the rest only.
        const std::uint64_t skip = std::min<std::uint64_t>(m_end - at, frames);
        data += skip * channels;
        frames -= static_cast<std::size_t>(skip);
        at += skip;
    }
    if (at > m_end) {
        // Input dropped before it reached here: silence in its place, as long as it was.
        if (at - m_end >= m_capacity) {
            m_begin = m_end = at;
        } else {
            for (; m_end < at; ++m_end)
                std::fill_n(&m_ring[(m_end % m_capacity) * channels], channels, std::int16_t{0});
        }
    }
    // In runs up to the end of the ring's memory.
    for (std::size_t i = 0; i < frames;) {
        const std::size_t slot = static_cast<std::size_t>(m_end % m_capacity);
        const std::size_t run = std::min(frames - i, m_capacity - slot);
        std::copy_n(data + i * channels, run * channels, &m_ring[slot * channels]);
        i += run;
        m_end += run;
    }
    if (m_end - m_begin > m_capacity)
        m_begin = m_end - m_capacity;
}

std::size_t CSecondSource::ReadRing(std::uint64_t frame, std::size_t count)
{
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    const std::size_t rendered = static_cast<std::size_t>(m_rendered);
    std::lock_guard<std::mutex> lock(m_ringMutex);
    if (frame < m_begin || frame >= m_end)
        return 0;
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::uint64_t>({m_end - frame, count, m_scratch.size() / rendered}));
    if (rendered == channels) {
        // At most two runs: up to the end of the ring's memory, and on from its start.
        const std::size_t slot = static_cast<std::size_t>(frame % m_capacity);
        const std::size_t tail = std::min(n, m_capacity - slot);
        std::copy_n(&m_ring[slot * channels], tail * channels, m_scratch.data());
        std::copy_n(m_ring.get(), (n - tail) * channels, m_scratch.data() + tail * channels);
        return n;
    }
    // The average of the two channels, as the mixer would take it after converting each (the
    // ring's place moves on by one and wraps: no division per frame).
    std::size_t slot = static_cast<std::size_t>(frame % m_capacity);
    for (std::size_t i = 0; i < n; ++i) {
        const std::int16_t* pair = &m_ring[slot * 2];
        m_scratch[i] = static_cast<std::int16_t>((static_cast<int>(pair[0]) + static_cast<int>(pair[1])) / 2);
        slot = slot + 1 == m_capacity ? 0 : slot + 1;
    }
    return n;
}

void CSecondSource::TakeArrivals()
{
    CCaptureQueue::Arrival arrival;
    while (m_input->TakeArrival(arrival)) {
        const std::uint64_t restarts = m_clock.Restarts();
        const bool doubting = m_clock.Doubting();
        m_clock.Arrived(arrival.nanos, arrival.framesEnd);
        // A line started afresh (the input came back after a loss) says nothing of what came
        // before it: the frames delivered before are not placed by it. Where it starts from a
        // delivery the clock held back, from the frames before that one.
        if (m_clock.Restarts() != restarts)
            m_freshFrom = doubting ? m_beforeDoubt : m_lastFramesEnd;
        else if (!doubting && m_clock.Doubting())
            m_beforeDoubt = m_lastFramesEnd;
        // A timing answer places the clock; what was delivered, and when, only deliveries tell.
        if (arrival.told)
            continue;
        m_lastFramesEnd = arrival.framesEnd;
        // Pieces of one delivery (closer than 5 ms) are one block.
        const double at = static_cast<double>(arrival.nanos);
        if (m_lastArrival > 0 && at - m_lastArrival > 5e6)
            m_blockNanos = std::max(m_blockNanos * 0.9, at - m_lastArrival);
        m_lastArrival = at;
    }
}

double CSecondSource::Shift(double seconds)
{
    const double told =
        (m_secondLatency.load(std::memory_order_relaxed) - m_firstLatency.load(std::memory_order_relaxed)) * 1e9;
    // Taken as told until the second source has its place, and while it settles until both
    // inputs have told their latency (a server tells it only after a few answers); after that
    // the servers' readings (which wander by milliseconds as their own estimates do) move it by
    // at most kMaxShiftSlew, a change of pitch nobody hears.
    const bool known = m_latenciesTold.load(std::memory_order_relaxed);
    const double most = kMaxShiftSlew * seconds * 1e9;
    m_shift = m_placed && (known || !Young()) ? m_shift + std::clamp(told - m_shift, -most, most) : told;
    return m_shift;
}

double CSecondSource::ArrivedUntil()
{
    TakeArrivals();
    if (!m_clock.Settled())
        return -std::numeric_limits<double>::infinity();
    std::uint64_t end = 0;
    {
        std::lock_guard<std::mutex> lock(m_ringMutex);
        end = m_end;
    }
    // A block reads from where the converter stands, its delay ahead of what it gives out and
    // up to kJumpSeconds off its place (and what is held), and its delay and a margin past the
    // block's span.
    const double reach = 2 * m_resampler.Delay() + kReadAheadFrames + std::fabs(m_held) +
                         (kJumpSeconds + kMarginSeconds) * m_input->Format().samplesPerSec;
    return m_clock.TimeOf(static_cast<double>(end) - reach) - m_shift;
}

void CSecondSource::Render(double fromNanos, double toNanos, std::size_t frames, float* out, double firstUnevenness,
                           bool follows)
{
    const std::size_t channels = static_cast<std::size_t>(m_rendered);
    std::fill(out, out + frames * channels, 0.0f);
    TakeArrivals();
    // Nothing until the second source's clock can be trusted: a jump later would be heard.
    if (!m_clock.Settled() || frames == 0) {
        m_lastTo = -1;
        return;
    }
    // Which of the second source's frames were captured over the block's stretch of time.
    const double shift = Shift(static_cast<double>(frames) / std::max<double>(m_recordingRate, 1.0));
    double from = m_clock.FrameAt(fromNanos + shift);
    const double to = m_clock.FrameAt(toNanos + shift);
    // How far the lines moved this block's start from where the last block ended, the servers'
    // latencies left out (they are followed on their own).
    const bool went = follows && m_lastTo >= 0 && m_clock.Restarts() == m_lastRestarts;
    const double moved = went ? m_clock.FrameAt(fromNanos + m_lastShift) - m_lastTo : 0.0;
    m_lastTo = to;
    m_lastShift = shift;
    m_lastRestarts = m_clock.Restarts();
    // Before the first sound the line places (the input's first, or its first since it came
    // back): silence. The line reaches back over a loss to sound from before it, already used.
    const double fresh = static_cast<double>(m_freshFrom);
    if (to <= fresh)
        return;
    if (from < fresh) {
        // It began within the block: silence up to its first sound.
        const auto lead =
            std::min(frames, static_cast<std::size_t>(std::llround((fresh - from) / (to - from) * frames)));
        out += lead * channels;
        frames -= lead;
        from = fresh;
        if (frames == 0)
            return;
    }
    const double ratio = FollowClock(from, to, frames, firstUnevenness + m_clock.Unevenness(), moved);
    const std::size_t need =
        static_cast<std::size_t>(static_cast<double>(frames) / ratio + m_resampler.Delay() + kReadAheadFrames);
    const std::size_t got = ReadRing(m_next, need);
    if (got == 0) {
        // Nothing there: overwritten (it jumps once it has something again) or not yet come.
        std::lock_guard<std::mutex> lock(m_ringMutex);
        if (m_next < m_begin)
            m_placed = false;
        return;
    }
    std::size_t taken = 0;
    m_resampler.Convert(m_scratch.data(), got, &taken, out, frames, ratio);
    m_next += taken;
}

void CSecondSource::Hold(double moved, double seconds)
{
    const double rate = m_input->Format().samplesPerSec;
    if (std::fabs(m_held + moved) <= kMostHeldSeconds * rate)
        m_held += moved;
    const double let = kMaxShiftSlew * seconds * rate;
    m_held -= std::clamp(m_held, -let, let);
}

double CSecondSource::FollowClock(double from, double to, std::size_t frames, double unevenness, double moved)
{
    const double rate = std::max<double>(m_input->Format().samplesPerSec, 1.0);
    const double outRate = std::max<double>(m_recordingRate, 1.0);
    const double nominal = outRate / rate;
    const double seconds = static_cast<double>(frames) / outRate;
    // The middle of the latest few readings of either kind: one block whose clock line was off
    // for a moment (a line measured afresh, a late delivery) is not followed.
    const auto middle = [](std::array<double, kReadings>& readings, std::size_t& count, double reading) {
        readings[count++ % kReadings] = reading;
        std::array<double, kReadings> sorted = readings;
        const std::size_t n = std::min(count, kReadings);
        const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(n / 2);
        std::nth_element(sorted.begin(), at, sorted.begin() + static_cast<std::ptrdiff_t>(n));
        return *at;
    };
    // Settled, the lines' moves are held rather than followed; but only where both sources
    // deliver evenly: a line through bursts moves as it is measured better, and is followed.
    // What counts is how even they were lately (a step of one source's deliveries makes its
    // arrivals uneven for a few seconds, the very time it is held).
    if (m_placed && !Young()) {
        m_calmest = std::min(unevenness, m_calmest + kEvenSeconds * 0.1 * seconds);
        Hold(m_calmest < kEvenSeconds ? moved : 0.0, seconds);
    } else {
        m_held = 0;
        m_calmest = unevenness;
    }
    // How far (input frames; more: ahead) the converter stands from where the block should start,
    // what is held left out.
    double offset = m_placed ? middle(m_offsets, m_offsetCount, m_resampler.InputPosition() - from + m_held) : 0.0;
    const double steadySeconds = std::min(kUnevenSteady * unevenness, kMostSteadySeconds);
    if (!m_placed || std::fabs(offset) > kJumpSeconds * rate) {
        // A real jump (the start, a loss, a stall): to its place at once. The next output comes
        // from the frame captured at the block's start.
        const double first = std::max(0.0, from + m_resampler.Delay());
        m_next = static_cast<std::uint64_t>(std::llround(first));
        m_resampler.Restart(static_cast<double>(m_next));
        m_placed = true;
        m_jumps.fetch_add(1, std::memory_order_relaxed);
        m_offsetCount = 0;
        m_held = 0;
        offset = middle(m_offsets, m_offsetCount, m_resampler.InputPosition() - from);
        m_sinceJump = 0;
        m_jumpArrival = m_lastArrival;
    }
    // The rate the two clocks' lines tell (input frames per output frame), followed slowly.
    const double told = middle(m_rates, m_rateCount, (to - from) / static_cast<double>(frames));
    m_sinceJump += seconds;
    if (Young()) {
        // Settling: the lines are still being measured and the converter stays close to where
        // they put it, taking up each block's span and, per second, a share of how far off it
        // stands (a short block takes a small share, or its pitch would jump). The rate it
        // settles at is where the slow following starts, so the end of settling is not heard.
        m_speed = told;
        const double error = m_resampler.InputPosition() - from;
        const double steady = std::max(kYoungSteadySeconds, steadySeconds) * rate;
        const double beyond = error > steady ? error - steady : error < -steady ? error + steady : 0.0;
        const double want = std::max(1.0, (to - from) - std::min(1.0, kYoungCatchUp * seconds) * beyond);
        const double ratio = std::clamp(static_cast<double>(frames) / want, nominal * (1.0 - kMaxCorrection),
                                        nominal * (1.0 + kMaxCorrection));
        m_offset.store(error / rate, std::memory_order_relaxed);
        m_correction.store(nominal / ratio - 1.0, std::memory_order_relaxed);
        return ratio;
    }
    // Where either source comes in bursts (its steady band is the wider), the lines still move
    // for seconds after settling, and are followed closely (see kBurstTrim).
    const bool bursty = steadySeconds > kSteadySeconds;
    const bool far = std::fabs(told / m_speed - 1.0) > kRateStep;
    m_speed += (told - m_speed) * std::min(1.0, seconds / (far || bursty ? kQuickRateSeconds : kRateSeconds));
    // The correction: a small one for any offset, never heard, and beyond what the clocks'
    // wander stays within, a larger one that takes up a real drift.
    const double off = offset / rate;
    const double beyond = std::max(0.0, std::fabs(off) - std::max(kSteadySeconds, steadySeconds));
    const double most = bursty ? kMaxBurstTrim : kMaxTrim;
    const double correction = std::clamp((bursty ? kBurstTrim : kTrim) * off, -most, most) +
                              std::copysign(std::min(kCatchUp * beyond, kMaxCorrection), off);
    m_offset.store(off, std::memory_order_relaxed);
    const double ratio = std::clamp(1.0 / (m_speed * (1.0 - correction)), nominal * (1.0 - kMaxCorrection),
                                    nominal * (1.0 + kMaxCorrection));
    m_correction.store(nominal / ratio - 1.0, std::memory_order_relaxed);
    return ratio;
}
