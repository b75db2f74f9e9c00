#include "platform/sdl/SdlAudio.h"

#include <SDL.h>

#include "platform/UiTrace.h"

namespace platform {

namespace {

constexpr const char* kLibraryName = "libSDL2-2.0.so.0";

template <typename F>
bool Resolve(const CSharedLibrary& library, const char* name, F& out)
{
    out = reinterpret_cast<F>(library.Symbol(name));
    return out != nullptr;
}

}  // namespace

SdlAudio& SdlAudio::Get()
{
    static SdlAudio instance;
    return instance;
}

SdlAudio::~SdlAudio()
{
    {
        std::lock_guard<std::mutex> lock(m_closerMutex);
        m_stopCloser = true;
    }
    m_closerWake.notify_all();
    if (m_closer.joinable())
        m_closer.join();
    // The subsystem is not shut down and the library stays loaded: the process is ending, and
    // unloading SDL would take the sound libraries it links and opens with it while threads of
    // theirs may still be winding down.
    m_library.Detach();
}

void SdlAudio::Shutdown()
{
    WaitForClosed();
    std::lock_guard<std::mutex> lock(m_initMutex);
    if (m_ready)
        m_quitSubSystem(SDL_INIT_AUDIO);
    m_ready = false;
}

bool SdlAudio::Load()
{
    if (m_loaded.load(std::memory_order_acquire))
        return true;
    if (!m_library.IsOpen() && !m_library.Open(kLibraryName))
        return false;
    if (!Resolve(m_library, "SDL_InitSubSystem", m_initSubSystem) ||
        !Resolve(m_library, "SDL_QuitSubSystem", m_quitSubSystem) ||
        !Resolve(m_library, "SDL_OpenAudioDevice", m_open) ||
        !Resolve(m_library, "SDL_PauseAudioDevice", m_pause) ||
        !Resolve(m_library, "SDL_GetAudioDeviceStatus", m_status) ||
        !Resolve(m_library, "SDL_CloseAudioDevice", m_close))
        return false;
    // Termination signals are the program's to handle (it closes its window as the user
    // would); SDL would otherwise turn them into quit events of its own that nobody reads.
    using SetHintFn = SDL_bool (*)(const char*, const char*);
    SetHintFn setHint = nullptr;
    if (Resolve(m_library, "SDL_SetHint", setHint))
        setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    m_loaded.store(true, std::memory_order_release);
    return true;
}

bool SdlAudio::Init()
{
    std::lock_guard<std::mutex> lock(m_initMutex);
    if (m_ready)
        return true;
    {
        UiTrace trace("sdl-load");
        if (!Load())
            return false;
    }
    UiTrace trace("sdl-init-audio");
    m_ready = m_initSubSystem(SDL_INIT_AUDIO) == 0;
    return m_ready;
}

SDL_AudioDeviceID SdlAudio::Open(bool capture, const SDL_AudioSpec& want, SDL_AudioSpec& have)
{
    {
        std::lock_guard<std::mutex> lock(m_initMutex);
        if (!m_ready)
            return 0;
    }
    SDL_AudioDeviceID device = m_open(nullptr, capture ? 1 : 0, &want, &have, 0);
    if (device == 0) {
        // The sound server may have gone away and come back since the subsystem started: its
        // connection is made once, at initialisation. With no device of ours open, start the
        // subsystem again and try once more.
        WaitForClosed();
        if (OpenDevices() == 0) {
            Shutdown();
            if (!Init())
                return 0;
            device = m_open(nullptr, capture ? 1 : 0, &want, &have, 0);
        }
    }
    if (device != 0)
        m_openDevices.fetch_add(1, std::memory_order_acq_rel);
    return device;
}

void SdlAudio::Pause(SDL_AudioDeviceID device, bool pause)
{
    if (device != 0)
        m_pause(device, pause ? 1 : 0);
}

SDL_AudioStatus SdlAudio::Status(SDL_AudioDeviceID device)
{
    return device != 0 ? m_status(device) : SDL_AUDIO_STOPPED;
}

void SdlAudio::Close(SDL_AudioDeviceID device)
{
    if (device == 0)
        return;
    m_close(device);
    m_openDevices.fetch_sub(1, std::memory_order_acq_rel);
}

void SdlAudio::CloseLater(SDL_AudioDeviceID device)
{
    if (device == 0)
        return;
    m_pause(device, 1);
    {
        std::lock_guard<std::mutex> lock(m_closerMutex);
        m_toClose.push_back(device);
        if (!m_closer.joinable())
            m_closer = std::thread([this] { CloserLoop(); });
    }
    m_closerWake.notify_one();
}

void SdlAudio::WaitForClosed()
{
    std::unique_lock<std::mutex> lock(m_closerMutex);
    m_closerDone.wait(lock, [this] { return m_toClose.empty() && m_closing == 0; });
}

void SdlAudio::CloserLoop()
{
    std::unique_lock<std::mutex> lock(m_closerMutex);
    for (;;) {
        m_closerWake.wait(lock, [this] { return !m_toClose.empty() || m_stopCloser; });
        if (m_toClose.empty())
            return;  // asked to stop and nothing left
        const SDL_AudioDeviceID device = m_toClose.front();
        m_toClose.pop_front();
        ++m_closing;
        lock.unlock();
        Close(device);
        lock.lock();
        --m_closing;
        m_closerDone.notify_all();
    }
}

}  // namespace platform
