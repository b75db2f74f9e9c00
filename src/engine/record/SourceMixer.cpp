#include "engine/record/SourceMixer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "engine/record/SecondSource.h"

namespace {

// Frames mixed at a time.
constexpr std::size_t kBlock = 2048;

}  // namespace

CSourceMixer::CSourceMixer(CSecondSource& second, const WaveFormat& format, bool apart)
    : m_second(second),
      m_channels(std::clamp<int>(format.channels, 1, 2)),
      m_secondChannels(second.RenderedChannels()),
      m_apart(apart && m_channels == 2),
      m_clock(format.samplesPerSec),
      m_limiter(m_channels, format.samplesPerSec),
      m_maxWait(static_cast<std::size_t>(kMaxWaitSeconds * format.samplesPerSec)),
      m_maxUnsettledWait(static_cast<std::size_t>(kMaxUnsettledWaitSeconds * format.samplesPerSec))
{
    // Room for the longest wait and a few seconds of first-source sound arriving at once.
    m_capacity = std::max(m_maxWait, m_maxUnsettledWait) + static_cast<std::size_t>(4.5 * format.samplesPerSec);
    m_waiting = std::make_unique_for_overwrite<std::int16_t[]>(m_capacity * static_cast<std::size_t>(m_channels));
    m_positions = std::make_unique_for_overwrite<std::uint64_t[]>(m_capacity);
    m_block.assign(kBlock * static_cast<std::size_t>(m_channels), 0);
    m_rendered.assign(kBlock * static_cast<std::size_t>(m_secondChannels), 0.0f);
    m_frame.assign(static_cast<std::size_t>(m_channels), 0.0f);
    m_out.assign(static_cast<std::size_t>(m_channels), 0);
    m_limiterPositions.assign(m_limiter.LookAhead() + 1, 0);
    m_outBlock.assign(kBlock * static_cast<std::size_t>(m_channels), 0);
}

void CSourceMixer::Add(const std::int16_t* samples, std::size_t frames, std::uint64_t at, const Out& out)
{
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    // In runs up to the end of the waiting room's memory, or until it is full.
    for (std::size_t i = 0; i < frames;) {
        if (m_count == m_capacity)
            Mix(kBlock, out);  // more came at once than the wait needs: the oldest go on now
        const std::size_t slot = (m_head + m_count) % m_capacity;
        const std::size_t run = std::min({frames - i, m_capacity - m_count, m_capacity - slot});
        std::copy_n(samples + i * channels, run * channels, &m_waiting[slot * channels]);
        for (std::size_t k = 0; k < run; ++k)
            m_positions[slot + k] = at + i + k;
        m_count += run;
        i += run;
    }
    if (!m_clock.Settled())
        return;
    // A second source whose clock is not yet measured (minus infinity) is waited for longer.
    const double until = m_second.ArrivedUntil();
    const std::size_t wait = std::isinf(until) ? m_maxUnsettledWait : m_maxWait;
    Mix(std::max(Covered(until), m_count > wait ? m_count - wait : 0), out);
}

void CSourceMixer::AwaitSecond()
{
    if (m_count == 0 || !m_clock.Settled())
        return;
    using namespace std::chrono;
    const double block = m_second.BlockSeconds();
    const auto limit = duration<double>(std::min(kMaxWaitSeconds, block > 0 ? block + 0.25 : kMaxWaitSeconds));
    const auto deadline = steady_clock::now() + duration_cast<steady_clock::duration>(limit);
    while (Covered(m_second.ArrivedUntil()) < m_count && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
}

std::size_t CSourceMixer::Covered(double until) const
{
    // The waiting frames' times rise with their place: the first whose end lies past until.
    std::size_t low = 0, high = m_count;
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (m_clock.TimeOf(static_cast<double>(m_positions[(m_head + mid) % m_capacity] + 1)) <= until)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

void CSourceMixer::Flush(const Out& out)
{
    Mix(m_count, out);
    while (m_limiter.Drain(m_out.data()))
        Emit(m_out.data(), m_limiterPositions[m_emittedSlot], out);
    if (m_outCount > 0)
        out(m_outBlock.data(), m_outCount * static_cast<std::size_t>(m_channels), m_outAt);
    m_outCount = 0;
}

void CSourceMixer::Mix(std::size_t frames, const Out& out)
{
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    frames = std::min(frames, m_count);
    while (frames > 0) {
        // A block of frames with consecutive positions. Ring places here and below move on by
        // one and wrap: no division per frame.
        std::size_t n = 0;
        const std::uint64_t first = m_positions[m_head];
        const std::size_t most = std::min(frames, kBlock);
        for (std::size_t slot = m_head; n < most && m_positions[slot] == first + n;) {
            ++n;
            slot = slot + 1 == m_capacity ? 0 : slot + 1;
        }
        // At most two runs: up to the end of the waiting room's memory, and on from its start.
        const std::size_t tail = std::min(n, m_capacity - m_head);
        std::copy_n(&m_waiting[m_head * channels], tail * channels, m_block.data());
        std::copy_n(m_waiting.get(), (n - tail) * channels, m_block.data() + tail * channels);
        m_head = (m_head + n) % m_capacity;
        m_count -= n;
        frames -= n;
        const bool follows = first == m_renderedUntil && m_clock.Restarts() == m_renderedRestarts;
        m_renderedUntil = first + n;
        m_renderedRestarts = m_clock.Restarts();
        m_second.Render(m_clock.TimeOf(static_cast<double>(first)), m_clock.TimeOf(static_cast<double>(first + n)),
                        n, m_rendered.data(), m_clock.Unevenness(), follows);
        for (std::size_t i = 0; i < n; ++i) {
            Combine(&m_block[i * channels], &m_rendered[i * static_cast<std::size_t>(m_secondChannels)]);
            m_limiterPositions[m_limitedSlot] = first + i;
            m_limitedSlot = m_limitedSlot + 1 == m_limiterPositions.size() ? 0 : m_limitedSlot + 1;
            if (m_limiter.Push(m_frame.data(), m_out.data()))
                Emit(m_out.data(), m_limiterPositions[m_emittedSlot], out);
        }
    }
}

void CSourceMixer::Combine(const std::int16_t* first, const float* second)
{
    constexpr float kScale = 32768.0f;
    const float secondMono = m_secondChannels == 2 ? (second[0] + second[1]) * 0.5f : second[0];
    if (m_apart) {
        m_frame[0] = (static_cast<float>(first[0]) + static_cast<float>(first[1])) * 0.5f;
        m_frame[1] = secondMono * kScale;
    } else if (m_channels == 2) {
        m_frame[0] = static_cast<float>(first[0]) + second[0] * kScale;
        m_frame[1] = static_cast<float>(first[1]) + (m_secondChannels == 2 ? second[1] : second[0]) * kScale;
    } else {
        m_frame[0] = static_cast<float>(first[0]) + secondMono * kScale;
    }
}

void CSourceMixer::FirstAlone(const std::int16_t* samples, std::size_t frames, std::int16_t* out) const
{
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    if (!m_apart) {
        std::copy_n(samples, frames * channels, out);
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        // As Combine lays out the first source: its channels' average, rounded.
        const int sum = samples[i * 2] + samples[i * 2 + 1];
        out[i * 2] = static_cast<std::int16_t>(sum >= 0 ? (sum + 1) / 2 : (sum - 1) / 2);
        out[i * 2 + 1] = 0;
    }
}

void CSourceMixer::Emit(const std::int16_t* frame, std::uint64_t at, const Out& out)
{
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    m_emittedSlot = m_emittedSlot + 1 == m_limiterPositions.size() ? 0 : m_emittedSlot + 1;
    if (m_outCount > 0 && (at != m_outAt + m_outCount || m_outCount == kBlock)) {
        out(m_outBlock.data(), m_outCount * channels, m_outAt);
        m_outCount = 0;
    }
    if (m_outCount == 0)
        m_outAt = at;
    std::int16_t* slot = &m_outBlock[m_outCount * channels];
    slot[0] = frame[0];
    if (channels == 2)
        slot[1] = frame[1];
    ++m_outCount;
}
