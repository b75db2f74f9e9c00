#include "engine/record/VoiceGate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Whole chunks that last at least seconds (none for 0).
std::uint64_t ChunksFor(double seconds, int chunkFrames, int framesPerSecond)
{
    if (seconds <= 0 || chunkFrames <= 0)
        return 0;
    return static_cast<std::uint64_t>(std::ceil(seconds * framesPerSecond / chunkFrames - 1e-9));
}

}  // namespace

CVoiceGate::CVoiceGate(const VoiceGateSettings& settings, int chunkSamples, int channels, int framesPerSecond)
    : m_chunkSamples(chunkSamples),
      m_thresholdPeak(static_cast<std::int32_t>(std::lround(32768.0 * std::pow(10.0, settings.thresholdDbfs / 20.0)))),
      m_holdChunks(std::max<std::uint64_t>(
          1, ChunksFor(settings.holdSeconds, chunkSamples / std::max(channels, 1), framesPerSecond))),
      m_ring(ChunksFor(std::clamp(settings.preRollSeconds, 0, kMaxPreRollSeconds),
                       chunkSamples / std::max(channels, 1), framesPerSecond),
             static_cast<std::size_t>(chunkSamples))
{
}

void CVoiceGate::Feed(const std::int16_t* chunk, const Write& write)
{
    std::int32_t peak = 0;
    for (int i = 0; i < m_chunkSamples; ++i)
        peak = std::max(peak, std::abs(static_cast<std::int32_t>(chunk[i])));
    const bool loud = peak >= std::max(m_thresholdPeak, 1);

    if (!m_open.load(std::memory_order_relaxed)) {
        if (!loud) {
            m_ring.Push(chunk);
            return;
        }
        m_bursts.fetch_add(1, std::memory_order_acq_rel);
        m_open.store(true, std::memory_order_release);
        for (std::size_t i = 0; i < m_ring.Size(); ++i) {
            write(m_ring.At(i));
            m_written.fetch_add(1, std::memory_order_acq_rel);
        }
        m_ring.Clear();
        m_quietChunks = 0;
    }
    write(chunk);
    m_written.fetch_add(1, std::memory_order_acq_rel);
    m_quietChunks = loud ? 0 : m_quietChunks + 1;
    if (m_quietChunks >= m_holdChunks)
        m_open.store(false, std::memory_order_release);
}
