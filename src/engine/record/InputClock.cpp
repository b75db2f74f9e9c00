#include "engine/record/InputClock.h"

#include <algorithm>

CInputClock::CInputClock(double bytesPerSecond) : m_nanosPerByte(bytesPerSecond > 0 ? 1e9 / bytesPerSecond : 0.0) {}

void CInputClock::Start(std::int64_t now)
{
    m_heard.store(false, std::memory_order_relaxed);
    m_seenBehind = false;
    m_heardUntil.store(now + std::chrono::nanoseconds(kFirstSoundGrace).count(), std::memory_order_relaxed);
}

void CInputClock::Delivered(std::int64_t now, std::size_t bytes)
{
    // Before the first sound heardUntil holds Start's grace, which no sound has earned.
    const bool first = !m_heard.exchange(true, std::memory_order_relaxed);
    const std::int64_t from = first ? now : std::max(now, m_heardUntil.load(std::memory_order_relaxed));
    const auto length = static_cast<std::int64_t>(static_cast<double>(bytes) * m_nanosPerByte);
    const std::int64_t lead = std::chrono::nanoseconds(kMaxLead).count();
    m_heardUntil.store(std::min(from + length, now + lead), std::memory_order_relaxed);
}

bool CInputClock::Behind(std::int64_t now, std::chrono::nanoseconds limit) const
{
    return now - m_heardUntil.load(std::memory_order_relaxed) > limit.count();
}

bool CInputClock::Stalled(std::int64_t now, std::chrono::nanoseconds limit)
{
    if (!Behind(now, limit)) {
        m_seenBehind = false;
        return false;
    }
    if (!m_seenBehind) {
        m_seenBehind = true;
        m_behindSince = now;
    }
    return now - m_behindSince >= std::chrono::nanoseconds(kConfirm).count();
}
