#pragma once
// The default sound input through SDL2's audio capture.
//
// Thread: Open, Start, Lost and Close on the user-interface thread; the sink runs on SDL's
// audio thread.

#include <SDL_audio.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include "engine/record/AudioInputDevice.h"
#include "engine/record/InputClock.h"

class CSdlAudioInput : public IAudioInputDevice {
public:
    CSdlAudioInput() = default;
    ~CSdlAudioInput() override;
    CSdlAudioInput(const CSdlAudioInput&) = delete;
    CSdlAudioInput& operator=(const CSdlAudioInput&) = delete;

    bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) override;
    bool Start() override;
    // A device that has stalled is cut off from the sink at once and closed on a thread of its
    // own: SDL's capture thread may wait for data that never comes, and closing joins it.
    void Close() override;
    // SDL reports the device removed (it then feeds silence), or the sound delivered so far ends
    // more than kStallLimit ago (see CInputClock::Stalled).
    bool Lost() const override;
    bool FormatRefused() const override { return m_formatRefused; }

    // How long a started device may fall behind the clock before it counts as lost.
    static constexpr std::chrono::milliseconds kStallLimit{1500};

private:
    // What SDL's thread uses; it outlives this object while a stalled device is being closed.
    struct Shared {
        std::mutex sinkMutex;  // held while the sink runs; Close takes it to cut the sink off
        Sink sink;
        // How far the delivered sound reaches; set up before SDL's thread exists.
        std::unique_ptr<CInputClock> clock;
        // The device as the callback sees it: set by Start, before the first callback.
        std::atomic<SDL_AudioDeviceID> running{0};
    };

    static void SDLCALL OnAudio(void* userdata, Uint8* stream, int len);
    // Behind the clock now (see CInputClock::Behind).
    bool Behind() const;

    std::shared_ptr<Shared> m_shared;
    SDL_AudioDeviceID m_device = 0;
    bool m_started = false;
    bool m_formatRefused = false;
};
