#pragma once
// The most recent input, whole capture chunks of one size, in memory allocated once: pushing a
// chunk into a full ring drops the oldest. Used to write what came just before the level rose
// (or before Record was pressed). One thread at a time (the capture's delivery thread).

#include <cstddef>
#include <cstdint>
#include <memory>

class CPreRollRing {
public:
    // Room for capacity chunks of chunkSamples 16-bit values each; capacity may be 0.
    CPreRollRing(std::size_t capacity, std::size_t chunkSamples);

    void Push(const std::int16_t* chunk);
    // Chunks held, at most the capacity.
    std::size_t Size() const { return m_size; }
    std::size_t Capacity() const { return m_capacity; }
    std::size_t ChunkSamples() const { return m_chunkSamples; }
    // The held chunk i, 0 being the oldest.
    const std::int16_t* At(std::size_t i) const;
    void Clear() { m_size = 0; }

private:
    std::size_t m_capacity;
    std::size_t m_chunkSamples;
    std::unique_ptr<std::int16_t[]> m_data;
    std::size_t m_next = 0;  // where the next chunk goes
    std::size_t m_size = 0;
};
