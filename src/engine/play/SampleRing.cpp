#include "engine/play/SampleRing.h"

#include <algorithm>
#include <cstring>

namespace play {

SampleRing::SampleRing(std::size_t capacityFrames, int channels)
    : m_capacity(capacityFrames), m_channels(channels), m_samples(capacityFrames * static_cast<std::size_t>(channels))
{
}

std::int16_t* SampleRing::WriteRegion(std::size_t& frames)
{
    const std::uint64_t written = m_written.load(std::memory_order_relaxed);
    const std::uint64_t read = m_read.load(std::memory_order_acquire);
    const std::size_t used = static_cast<std::size_t>(written - read);
    const std::size_t at = static_cast<std::size_t>(written % m_capacity);
    frames = std::min(m_capacity - used, m_capacity - at);
    return m_samples.data() + at * static_cast<std::size_t>(m_channels);
}

void SampleRing::CommitWrite(std::size_t frames)
{
    m_written.store(m_written.load(std::memory_order_relaxed) + frames, std::memory_order_release);
}

std::size_t SampleRing::Read(std::int16_t* out, std::size_t frames)
{
    const std::uint64_t read = m_read.load(std::memory_order_relaxed);
    const std::uint64_t written = m_written.load(std::memory_order_acquire);
    std::size_t todo = std::min(frames, static_cast<std::size_t>(written - read));
    const std::size_t total = todo;
    std::size_t at = static_cast<std::size_t>(read % m_capacity);
    const std::size_t ch = static_cast<std::size_t>(m_channels);
    while (todo > 0) {
        const std::size_t n = std::min(todo, m_capacity - at);
        std::memcpy(out, m_samples.data() + at * ch, n * ch * sizeof(std::int16_t));
        out += n * ch;
        todo -= n;
        at = 0;
    }
    m_read.store(read + total, std::memory_order_release);
    return total;
}

std::size_t SampleRing::AvailableFrames() const
{
    return static_cast<std::size_t>(m_written.load(std::memory_order_acquire) - m_read.load(std::memory_order_acquire));
}

void SampleRing::Reset()
{
    m_read.store(0, std::memory_order_release);
    m_written.store(0, std::memory_order_release);
}

}  // namespace play
