#pragma once
// A single-producer, single-consumer ring of interleaved 16-bit sample frames. The producer
// (decoder thread) writes into the free region and commits; the consumer (sound output
// callback) copies out. Neither side blocks or allocates.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace play {

class SampleRing {
public:
    SampleRing(std::size_t capacityFrames, int channels);

    int Channels() const { return m_channels; }
    std::size_t CapacityFrames() const { return m_capacity; }

    // Producer: the contiguous free region (pointer and its size in frames), then CommitWrite
    // with what was put there.
    std::int16_t* WriteRegion(std::size_t& frames);
    void CommitWrite(std::size_t frames);

    // Consumer: copies up to frames frames into out and returns how many it copied.
    std::size_t Read(std::int16_t* out, std::size_t frames);
    std::size_t AvailableFrames() const;

    // Empties the ring. Only while neither side uses it at the same time.
    void Reset();

private:
    std::size_t m_capacity;
    int m_channels;
    std::vector<std::int16_t> m_samples;
    std::atomic<std::uint64_t> m_written{0};  // frames ever written; producer stores
    std::atomic<std::uint64_t> m_read{0};     // frames ever read; consumer stores
};

}  // namespace play
