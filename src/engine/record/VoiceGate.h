#pragma once
// Voice activation: decides which capture chunks reach the encoder. While the input stays below
// the threshold the gate listens and keeps the last pre-roll seconds in a ring; the first chunk
// whose peak reaches the threshold opens it, and the ring's chunks, that chunk and everything
// after it are written until the input has stayed below the threshold for the hold time. Then it
// listens again. Bursts follow one another with nothing in between; the hold keeps an input that
// hovers at the threshold from breaking into many short bursts.
//
// Threads: Feed runs on the capture's delivery thread; the counters are read from any thread.

#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/record/PreRollRing.h"

struct VoiceGateSettings {
    // The level that opens the gate, in dB below full scale.
    int thresholdDbfs = -40;
    // Seconds below the threshold before writing pauses.
    int holdSeconds = 3;
    // Seconds kept from before the level rose.
    int preRollSeconds = 1;
};

class CVoiceGate {
public:
    // Longest pre-roll the ring is made for, whatever the settings say.
    static constexpr int kMaxPreRollSeconds = 10;

    // Chunks of chunkSamples 16-bit values (all channels) at framesPerSecond; allocates the ring.
    CVoiceGate(const VoiceGateSettings& settings, int chunkSamples, int channels, int framesPerSecond);

    using Write = std::function<void(const std::int16_t* chunk)>;
    // One captured chunk: calls write for each chunk to encode now, oldest first. Delivery thread.
    void Feed(const std::int16_t* chunk, const Write& write);

    // Writing (a burst is under way) rather than listening.
    bool IsOpen() const { return m_open.load(std::memory_order_acquire); }
    std::uint64_t Bursts() const { return m_bursts.load(std::memory_order_acquire); }
    std::uint64_t ChunksWritten() const { return m_written.load(std::memory_order_acquire); }

private:
    int m_chunkSamples;
    std::int32_t m_thresholdPeak;
    std::uint64_t m_holdChunks;
    CPreRollRing m_ring;
    std::uint64_t m_quietChunks = 0;
    std::atomic<bool> m_open{false};
    std::atomic<std::uint64_t> m_bursts{0};
    std::atomic<std::uint64_t> m_written{0};
};
