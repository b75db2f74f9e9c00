#pragma once
// The default sound input through SDL2's audio capture.
//
// Thread: Open, Start and Close on the user-interface thread; the sink runs on SDL's audio
// thread.

#include <SDL_audio.h>

#include "engine/record/AudioInputDevice.h"

class CSdlAudioInput : public IAudioInputDevice {
public:
    CSdlAudioInput() = default;
    ~CSdlAudioInput() override;
    CSdlAudioInput(const CSdlAudioInput&) = delete;
    CSdlAudioInput& operator=(const CSdlAudioInput&) = delete;

    bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) override;
    bool Start() override;
    void Close() override;

private:
    static void SDLCALL OnAudio(void* userdata, Uint8* stream, int len);

    Sink m_sink;
    SDL_AudioDeviceID m_device = 0;
};
