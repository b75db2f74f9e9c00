#pragma once
// SDL2's audio, loaded the first time the program needs sound rather than at start-up: the
// SDL library and the sound-server libraries it brings are opened with the dynamic loader,
// and only the few functions the program uses are looked up. Once initialised, the audio
// subsystem stays up until the process ends, so later players and recordings find it ready.
//
// Devices can be closed in the background: SDL's close waits for the device's thread, which
// lets a playback device drain for two buffer lengths first (hundreds of milliseconds), so
// CloseLater hands the device to a closer thread of this class and returns at once.
//
// Threads: Init on the user-interface thread. Open, Pause, Close, CloseLater and Status from
// any thread that owns the device. WaitForClosed from any thread but the closer.

#include <SDL_audio.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/SharedLibrary.h"

namespace platform {

class SdlAudio {
public:
    // The one instance of the process.
    static SdlAudio& Get();

    // Loads SDL and initialises its audio subsystem if that has not happened yet. False when
    // the library or no sound driver is available (tried again at the next call).
    bool Init();
    // True once the SDL library is in the process.
    bool Loaded() const { return m_loaded.load(std::memory_order_acquire); }

    // SDL_OpenAudioDevice; 0 when Init has not succeeded or the device cannot be opened.
    SDL_AudioDeviceID Open(bool capture, const SDL_AudioSpec& want, SDL_AudioSpec& have);
    // SDL_PauseAudioDevice: once it returns with pause true, the callback is not running and
    // is not called again.
    void Pause(SDL_AudioDeviceID device, bool pause);
    SDL_AudioStatus Status(SDL_AudioDeviceID device);
    // Closes at once, waiting for the device's thread.
    void Close(SDL_AudioDeviceID device);
    // Pauses the device and closes it on the closer thread. The device's callback is never
    // called again, so its user data may go as soon as this returns.
    void CloseLater(SDL_AudioDeviceID device);
    // Waits until every device handed to CloseLater is closed.
    void WaitForClosed();
    // Waits for the background closes and shuts the audio subsystem down (the next Init
    // starts it again, with the sound driver the environment names then). No device may be
    // open.
    void Shutdown();
    // Devices open now, counting those waiting for the closer.
    int OpenDevices() const { return m_openDevices.load(std::memory_order_acquire); }

    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

private:
    SdlAudio() = default;
    // At exit: finishes the closes under way.
    ~SdlAudio();
    bool Load();
    void CloserLoop();

    using InitSubSystemFn = int (*)(Uint32);
    using QuitSubSystemFn = void (*)(Uint32);
    using OpenFn = SDL_AudioDeviceID (*)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*, int);
    using PauseFn = void (*)(SDL_AudioDeviceID, int);
    using StatusFn = SDL_AudioStatus (*)(SDL_AudioDeviceID);
    using CloseFn = void (*)(SDL_AudioDeviceID);

    std::mutex m_initMutex;
    CSharedLibrary m_library;
    std::atomic<bool> m_loaded{false};
    bool m_ready = false;  // the audio subsystem is initialised (under m_initMutex)
    InitSubSystemFn m_initSubSystem = nullptr;
    QuitSubSystemFn m_quitSubSystem = nullptr;
    OpenFn m_open = nullptr;
    PauseFn m_pause = nullptr;
    StatusFn m_status = nullptr;
    CloseFn m_close = nullptr;

    std::atomic<int> m_openDevices{0};
    std::mutex m_closerMutex;
    std::condition_variable m_closerWake;
    std::condition_variable m_closerDone;
    std::deque<SDL_AudioDeviceID> m_toClose;
    int m_closing = 0;  // taken from m_toClose, not closed yet
    bool m_stopCloser = false;
    std::thread m_closer;
};

}  // namespace platform
