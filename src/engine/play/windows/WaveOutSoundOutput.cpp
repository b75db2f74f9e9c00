#include "engine/play/windows/WaveOutSoundOutput.h"

#include <algorithm>

#include "engine/play/PlaybackStream.h"
#include "platform/SteadyClock.h"

namespace play {

using platform::SteadyClock;

bool WaveOutSoundOutput::Play(PlaybackStream& stream)
{
    if (m_stream == &stream)
        return true;
    Stop();
    PlaybackStream* target = &stream;
    if (!m_device.Open(static_cast<std::uint32_t>(stream.SampleRate()), static_cast<std::uint16_t>(stream.Channels()),
                       [target](std::int16_t* out, std::size_t frames, std::int64_t index) {
                           target->Pull(out, frames, index);
                       }))
        return false;
    m_stream = &stream;
    m_playedAt = SteadyClock::Now();
    return true;
}

void WaveOutSoundOutput::Stop()
{
    if (m_stream == nullptr)
        return;
    const std::int64_t heard = m_device.Close();
    m_stream->OutputStopped(heard);
    m_stream = nullptr;
}

std::int64_t WaveOutSoundOutput::HeardIndex() const { return m_stream ? m_device.Played() : -1; }

bool WaveOutSoundOutput::Lost() const
{
    if (m_stream == nullptr)
        return false;
    if (m_device.Failed())
        return true;
    const std::int64_t last = std::max(m_device.LastReturn(), m_playedAt);
    return SteadyClock::Now() - last > std::chrono::nanoseconds(kStallLimit).count();
}

}  // namespace play
