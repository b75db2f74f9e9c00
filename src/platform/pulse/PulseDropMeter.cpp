#include "platform/pulse/PulseDropMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace platform {

namespace {

// Less than this is timing noise (a source that hands over blocks, a late answer), not a drop.
constexpr double kMinDropSeconds = 0.02;
// A buffer this close to full counts as full: the server may have sent a fragment meanwhile.
constexpr double kFullMarginSeconds = 0.1;
// The system clock moved by more than this against the steady one between two answers (set by
// hand, or stepped by time synchronisation): the interval says nothing.
constexpr std::int64_t kClockStepMicros = 500000;

}  // namespace

void PulseDropMeter::Reset(std::size_t frameBytes, double bytesPerSecond, std::uint64_t bufferBytes)
{
    m_frameBytes = std::max<std::size_t>(frameBytes, 1);
    m_bytesPerSecond = bytesPerSecond;
    m_bufferBytes = static_cast<std::int64_t>(bufferBytes);
    m_taken = 0;
    m_holeBytes = 0;
    m_skipped = 0;
    m_havePrevious = false;
    for (Slot& slot : m_slots) {
        slot.atFrame.store(0, std::memory_order_relaxed);
        slot.frames.store(0, std::memory_order_relaxed);
    }
    m_found = 0;
    m_published.store(0, std::memory_order_release);
}

void PulseDropMeter::Start()
{
    m_havePrevious = false;
}

std::uint64_t PulseDropMeter::FramesAt(std::int64_t index) const
{
    // Holes are rare and short: all of them count as lying before.
    const std::int64_t bytes = std::max<std::int64_t>(index - m_holeBytes, 0);
    return static_cast<std::uint64_t>(bytes) / m_frameBytes;
}

void PulseDropMeter::Found(std::int64_t atIndex, double bytes)
{
    const auto frames = static_cast<std::uint64_t>(std::llround(bytes / static_cast<double>(m_frameBytes)));
    if (frames == 0)
        return;
    const std::uint64_t atFrame = FramesAt(atIndex);
    // One drop found in parts (the rest of it in the next interval) stays one.
    if (m_found > 0 && (m_found == m_slots.size() || m_slots[m_found - 1].atFrame.load(std::memory_order_relaxed) == atFrame)) {
        m_slots[m_found - 1].frames.fetch_add(frames, std::memory_order_relaxed);
        return;
    }
    m_slots[m_found].atFrame.store(atFrame, std::memory_order_relaxed);
    m_slots[m_found].frames.store(frames, std::memory_order_relaxed);
    ++m_found;
}

void PulseDropMeter::Publish(std::uint64_t delivered)
{
    std::size_t published = m_published.load(std::memory_order_relaxed);
    while (published < m_found && m_slots[published].atFrame.load(std::memory_order_relaxed) <= delivered)
        ++published;
    m_published.store(published, std::memory_order_release);
}

void PulseDropMeter::Hole(std::size_t bytes)
{
    Found(m_taken, static_cast<double>(bytes));
    m_taken += static_cast<std::int64_t>(bytes);
    m_holeBytes += static_cast<std::int64_t>(bytes);
    Publish(FramesAt(m_taken));
}

void PulseDropMeter::Taking(std::size_t bytes)
{
    m_taken += static_cast<std::int64_t>(bytes);
    Publish(FramesAt(m_taken));
}

void PulseDropMeter::Timing(std::int64_t serverMicros, std::int64_t writeIndex, std::int64_t readIndex,
                            std::uint64_t unread, std::int64_t clockOffsetMicros)
{
    const double minDrop = kMinDropSeconds * m_bytesPerSecond;
    // The read index ahead of what the client took: skipped by the server. It lies after
    // everything the client had received at the last answer.
    const std::int64_t skipped = readIndex - m_taken;
    const bool skipping = skipped > m_skipped;
    if (skipping) {
        if (static_cast<double>(skipped - m_skipped) >= minDrop)
            Found(m_havePrevious ? m_previousReceived : m_taken, static_cast<double>(skipped - m_skipped));
        m_skipped = skipped;
    }

    // A server that skips (or holds more than the buffer, and will skip) has not refused to
    // write: its write index says nothing about drops then.
    const std::int64_t buffered = writeIndex - readIndex;
    const double margin = kFullMarginSeconds * m_bytesPerSecond;
    const bool overfull = static_cast<double>(m_previousBuffered) > static_cast<double>(m_bufferBytes) + margin;
    if (m_havePrevious && !skipping && !overfull &&
        std::llabs(clockOffsetMicros - m_previousOffset) <= kClockStepMicros) {
        const double expected = static_cast<double>(serverMicros - m_previousMicros) * m_bytesPerSecond / 1e6;
        const double deficit = expected - static_cast<double>(writeIndex - m_previousWrite);
        // The buffer can only have overflowed after it filled up from what it held before.
        const double room = static_cast<double>(std::max<std::int64_t>(m_bufferBytes - m_previousBuffered, 0));
        const double dropped = std::min(deficit, expected - room);
        if (dropped >= minDrop) {
            const bool fullBefore = static_cast<double>(m_previousBuffered) >= static_cast<double>(m_bufferBytes) - margin;
            // The server drops at its write index, which stands still meanwhile.
            Found((fullBefore ? m_previousWrite : writeIndex) - m_skipped, dropped);
        }
    }
    m_havePrevious = true;
    m_previousMicros = serverMicros;
    m_previousWrite = writeIndex;
    m_previousBuffered = buffered;
    m_previousReceived = m_taken + static_cast<std::int64_t>(unread);
    m_previousOffset = clockOffsetMicros;
    Publish(FramesAt(m_taken));
}

void PulseDropMeter::Flush()
{
    m_published.store(m_found, std::memory_order_release);
}

std::vector<PulseDropMeter::Drop> PulseDropMeter::Drops() const
{
    std::vector<Drop> drops;
    const std::size_t count = m_published.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < count; ++i)
        drops.push_back(Drop{m_slots[i].atFrame.load(std::memory_order_relaxed), m_slots[i].frames.load(std::memory_order_relaxed)});
    // Found in the order the server told them, which is not always where they lie.
    std::stable_sort(drops.begin(), drops.end(), [](const Drop& a, const Drop& b) { return a.atFrame < b.atFrame; });
    return drops;
}

}  // namespace platform
