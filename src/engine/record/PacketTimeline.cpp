#include "engine/record/PacketTimeline.h"

#include <algorithm>

CPacketTimeline::CPacketTimeline(std::uint32_t rate, bool loopback) : m_rate(rate), m_loopback(loopback) {}

std::uint64_t CPacketTimeline::FramesIn(std::int64_t span) const
{
    if (span <= 0)
        return 0;
    return static_cast<std::uint64_t>(static_cast<double>(span) * m_rate / 1e7 + 0.5);
}

void CPacketTimeline::Start(std::int64_t now)
{
    m_any = false;
    m_flaggedUntil = 0;
    m_flagDropped = false;
    m_nextTime = now;
    m_filled = 0;
}

CPacketTimeline::Gap CPacketTimeline::Packet(std::uint64_t position, std::int64_t time, std::uint32_t frames,
                                             bool discontinuity)
{
    Gap gap;
    const std::uint64_t byPosition = m_any && position > m_nextPosition ? position - m_nextPosition : 0;
    if (m_loopback) {
        // Nothing played for a while: the silence since the last packet, less what was filled.
        const std::int64_t late = time - m_nextTime;
        const std::uint64_t byTime = late > kTimeTolerance ? FramesIn(late) : 0;
        const std::uint64_t missing = std::max(byPosition, byTime);
        gap.silence = missing > m_filled ? missing - m_filled : 0;
    } else if (m_any) {
        // A flagged hole may move the position by less than it lasted, and its place may come
        // a little after the flag (Wine flags the first packet after an overrun, moves the
        // position by one packet however long the hole, and hands over what its buffer still
        // held before the times jump): the first jump of the times within kFlagSpan of the
        // flag is the hole's length. A jump of the times alone is their jitter.
        if (discontinuity)
            m_flaggedUntil = time + kFlagSpan;
        const std::int64_t late = time - m_nextTime;
        std::uint64_t byTime = 0;
        if (time <= m_flaggedUntil && late > kTimeTolerance) {
            byTime = FramesIn(late);
            m_flaggedUntil = 0;
            gap.rest = !discontinuity && m_flagDropped;
        }
        gap.dropped = std::max(byPosition, byTime);
        if (discontinuity)
            m_flagDropped = gap.dropped > 0 && m_flaggedUntil != 0;
    }
    m_any = true;
    m_nextPosition = position + frames;
    m_nextTime = time + static_cast<std::int64_t>(static_cast<double>(frames) * 1e7 / m_rate);
    m_filled = 0;
    return gap;
}

std::uint64_t CPacketTimeline::Idle(std::int64_t now)
{
    if (!m_loopback)
        return 0;
    const std::uint64_t due = FramesIn(now - kFillMargin - m_nextTime);
    if (due <= m_filled)
        return 0;
    const std::uint64_t fill = due - m_filled;
    m_filled = due;
    return fill;
}
