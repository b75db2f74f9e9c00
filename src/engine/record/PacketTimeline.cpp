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
    m_flagFrames = 0;
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
        // held before the times jump): the first jump of the times within kFlagSeconds of sound
        // after the flag is the hole's length. A jump of the times alone is their jitter. Wine
        // may flag the packet that carries the jump too (it overran again while its buffer was
        // being emptied): still the same hole.
        const bool open = m_flagFrames > 0 && m_flagDropped;
        if (discontinuity)
            m_flagFrames = static_cast<std::uint64_t>(m_rate) * kFlagSeconds;
        const std::int64_t late = time - m_nextTime;
        std::uint64_t byTime = 0;
        if (m_flagFrames > 0 && late > kTimeTolerance) {
            byTime = FramesIn(late);
            m_flagFrames = 0;
            gap.rest = open;
        }
        gap.dropped = std::max(byPosition, byTime);
        if (discontinuity && !gap.rest)
            m_flagDropped = gap.dropped > 0 && m_flagFrames != 0;
        m_flagFrames -= std::min<std::uint64_t>(m_flagFrames, frames);
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
