#include "engine/record/linux/SdlAudioInput.h"

#include <algorithm>
#include <thread>

#include "platform/sdl/SdlAudio.h"
#include "platform/SteadyClock.h"

using platform::SteadyClock;

CSdlAudioInput::~CSdlAudioInput()
{
    Close();
}

bool CSdlAudioInput::Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink)
{
    Close();
    m_formatRefused = false;
    if (format.bitsPerSample != 16 || format.channels == 0 || format.samplesPerSec == 0) {
        m_formatRefused = true;
        return false;
    }
    // Loads SDL the first time; the subsystem then stays up for the player and later recordings.
    platform::SdlAudio& sdl = platform::SdlAudio::Get();
    if (!sdl.Init())
        return false;
    m_shared = std::make_shared<Shared>();
    m_shared->sink = std::move(sink);

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
    want.userdata = m_shared.get();
    // Made before SDL's thread exists; SDL converts into exactly this format.
    m_shared->clock = std::make_unique<CInputClock>(static_cast<double>(want.freq) * want.channels * 2.0);
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
    m_shared->clock->Start(SteadyClock::Now());
    m_shared->running.store(m_device, std::memory_order_release);
    m_started = true;
    platform::SdlAudio::Get().Pause(m_device, false);
    return true;
}

bool CSdlAudioInput::Behind() const
{
    return m_shared->clock->Behind(SteadyClock::Now(), kStallLimit);
}

bool CSdlAudioInput::Lost() const
{
    if (m_device == 0 || !m_started)
        return false;
    return platform::SdlAudio::Get().Status(m_device) == SDL_AUDIO_STOPPED ||
           m_shared->clock->Stalled(SteadyClock::Now(), kStallLimit);
}

void CSdlAudioInput::Close()
{
    if (m_shared) {
        std::lock_guard<std::mutex> lock(m_shared->sinkMutex);
        m_shared->sink = nullptr;  // no more data to the owner from here on
    }
    if (m_device != 0) {
        platform::SdlAudio& sdl = platform::SdlAudio::Get();
        if (m_started && sdl.Status(m_device) != SDL_AUDIO_STOPPED && Behind()) {
            // SDL's thread may be blocked for good waiting for data; closing joins it. The
            // closer keeps the callback's state until SDL lets go of it.
            std::thread([device = m_device, shared = m_shared] {
                platform::SdlAudio::Get().Close(device);
            }).detach();
        } else {
            // Waits for a running callback and stops SDL's audio thread: the sink is never
            // called after this. A capture device has no output to drain, so this is quick.
            sdl.Close(m_device);
        }
        m_device = 0;
    }
    m_shared.reset();
    m_started = false;
}

void SDLCALL CSdlAudioInput::OnAudio(void* userdata, Uint8* stream, int len)
{
    auto* shared = static_cast<Shared*>(userdata);
    // A device SDL has found gone still gets its callback, with silence SDL made up: that is
    // no recorded sound, and the missing deliveries make the device count as lost.
    if (platform::SdlAudio::Get().Status(shared->running.load(std::memory_order_acquire)) == SDL_AUDIO_STOPPED)
        return;
    shared->clock->Delivered(SteadyClock::Now(), static_cast<std::size_t>(std::max(len, 0)));
    std::lock_guard<std::mutex> lock(shared->sinkMutex);
    if (len > 0 && shared->sink)
        shared->sink(stream, static_cast<std::size_t>(len));
}
