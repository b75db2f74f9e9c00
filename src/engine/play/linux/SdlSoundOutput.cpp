#include "engine/play/linux/SdlSoundOutput.h"

#include <cstring>

#include "engine/play/PlaybackStream.h"
#include "platform/sdl/SdlAudio.h"
#include "platform/SteadyClock.h"

namespace play {

namespace {

// A device buffer of 1/10 s or a little more, as a power of two: short enough for a
// position that follows the sound closely, long enough not to wake the audio thread often.
Uint16 BufferFrames(int rate)
{
    Uint16 frames = 256;
    while (frames < rate / 10 && frames < 8192)
        frames = static_cast<Uint16>(frames * 2);
    return frames;
}

}  // namespace

SdlSoundOutput::~SdlSoundOutput() { Close(); }

bool SdlSoundOutput::Open(int sampleRate, int channels)
{
    Close();
    platform::SdlAudio& sdl = platform::SdlAudio::Get();
    if (!sdl.Init())
        return false;
    SDL_AudioSpec want{};
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels == 1 ? 1 : 2);
    want.samples = BufferFrames(sampleRate);
    want.callback = &SdlSoundOutput::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts to whatever the device needs, the callback always
    // gets the format asked for (a rate of 0 becomes SDL's default, which `have` tells).
    m_device = sdl.Open(false, want, have);
    if (m_device == 0)
        return false;
    m_rate = have.freq;
    m_channels = have.channels;
    return true;
}

void SdlSoundOutput::Close()
{
    if (m_device == 0)
        return;
    Stop();
    // The device is paused now and never calls back again, so this object may go at once.
    platform::SdlAudio::Get().CloseLater(m_device);
    m_device = 0;
}

bool SdlSoundOutput::Play(PlaybackStream& stream)
{
    if (m_routed == &stream)
        return true;
    if (m_device == 0 && !Open(stream.SampleRate(), stream.Channels()))
        return false;
    if (stream.SampleRate() != m_rate || stream.Channels() != m_channels)
        return false;
    Stop();
    m_lastCallback.store(platform::SteadyClock::Now(), std::memory_order_relaxed);
    m_source.store(&stream, std::memory_order_release);
    m_routed = &stream;
    platform::SdlAudio::Get().Pause(m_device, false);
    return true;
}

void SdlSoundOutput::Stop()
{
    if (m_device == 0 || m_routed == nullptr)
        return;
    // Once paused, SDL no longer runs the callback; what it took last still plays out.
    platform::SdlAudio::Get().Pause(m_device, true);
    m_source.store(nullptr, std::memory_order_release);
    m_routed->OutputStopped(m_taken.load(std::memory_order_acquire));
    m_routed = nullptr;
}

std::int64_t SdlSoundOutput::HeardIndex() const
{
    return m_routed ? m_handedOn.load(std::memory_order_acquire) : -1;
}

bool SdlSoundOutput::Lost() const
{
    if (m_device == 0)
        return false;
    if (platform::SdlAudio::Get().Status(m_device) == SDL_AUDIO_STOPPED)
        return true;
    return m_routed != nullptr && platform::SteadyClock::Now() - m_lastCallback.load(std::memory_order_relaxed) >
                                      std::chrono::nanoseconds(kStallLimit).count();
}

void SDLCALL SdlSoundOutput::Callback(void* self, Uint8* data, int bytes)
{
    auto* output = static_cast<SdlSoundOutput*>(self);
    output->m_lastCallback.store(platform::SteadyClock::Now(), std::memory_order_relaxed);
    PlaybackStream* stream = output->m_source.load(std::memory_order_acquire);
    if (!stream) {
        std::memset(data, 0, static_cast<std::size_t>(bytes));
        return;
    }
    const std::size_t frameBytes = sizeof(std::int16_t) * static_cast<std::size_t>(output->m_channels);
    const auto frames = static_cast<std::size_t>(bytes) / frameBytes;
    const std::int64_t index = output->m_taken.load(std::memory_order_relaxed);
    // What SDL took at its call before this one has gone on to the device by now.
    output->m_handedOn.store(index, std::memory_order_release);
    stream->Pull(reinterpret_cast<std::int16_t*>(data), frames, index);
    output->m_taken.store(index + static_cast<std::int64_t>(frames), std::memory_order_release);
}

}  // namespace play
