#include "engine/record/PreRollRing.h"

#include <algorithm>

CPreRollRing::CPreRollRing(std::size_t capacity, std::size_t chunkSamples)
    : m_capacity(capacity),
      m_chunkSamples(chunkSamples),
      m_data(std::make_unique<std::int16_t[]>(std::max<std::size_t>(capacity * chunkSamples, 1)))
{
}

void CPreRollRing::Push(const std::int16_t* chunk)
{
    if (m_capacity == 0)
        return;
    std::copy(chunk, chunk + m_chunkSamples, m_data.get() + m_next * m_chunkSamples);
    m_next = (m_next + 1) % m_capacity;
    m_size = std::min(m_size + 1, m_capacity);
}

const std::int16_t* CPreRollRing::At(std::size_t i) const
{
    const std::size_t oldest = (m_next + m_capacity - m_size) % m_capacity;
    return m_data.get() + ((oldest + i) % m_capacity) * m_chunkSamples;
}
