#include "engine/record/SdlAudioInput.h"

#include "platform/SdlAudio.h"

CSdlAudioInput::~CSdlAudioInput()
{
    Close();
}

bool CSdlAudioInput::Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink)
{
    Close();
    if (format.bitsPerSample != 16 || format.channels == 0)
        return false;
    // Loads SDL the first time; the subsystem then stays up for the player and later recordings.
    platform::SdlAudio& sdl = platform::SdlAudio::Get();
    if (!sdl.Init())
        return false;
    m_sink = std::move(sink);

    // The period: the largest power of two not above the hint, so one period never spans more
    // than one capture buffer by much.
    Uint16 period = 256;
    while (period < 8192 && static_cast<std::uint32_t>(period) * 2 <= framesPerPeriod)
        period = static_cast<Uint16>(period * 2);

    SDL_AudioSpec want{};
    want.freq = static_cast<int>(format.samplesPerSec);
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = period;
    want.callback = &CSdlAudioInput::OnAudio;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts whatever the hardware gives into the asked format.
    m_device = sdl.Open(true, want, have);
    if (m_device == 0) {
        Close();
        return false;
    }
    return true;
}

bool CSdlAudioInput::Start()
{
    if (m_device == 0)
        return false;
    platform::SdlAudio::Get().Pause(m_device, false);
    return true;
}

void CSdlAudioInput::Close()
{
    if (m_device != 0) {
        // Waits for a running callback and stops SDL's audio thread: the sink is never called
        // after this. A capture device has no output to drain, so this is quick.
        platform::SdlAudio::Get().Close(m_device);
        m_device = 0;
    }
    m_sink = nullptr;
}

void SDLCALL CSdlAudioInput::OnAudio(void* userdata, Uint8* stream, int len)
{
    auto* self = static_cast<CSdlAudioInput*>(userdata);
    if (len > 0 && self->m_sink)
        self->m_sink(stream, static_cast<std::size_t>(len));
}
