#pragma once
// The sound output through SDL2's playback (no sound server of our own, SDL_AUDIODRIVER set,
// Windows): the default device, opened at the first Play at the stream's rate and channels and
// kept until the output goes. The audio callback only copies from the stream's ring.
//
// What is heard is counted from SDL's callbacks: when SDL asks for more, what it took before
// has been handed on to the device. SDL tells nothing of the device's own buffer.
//
// Closing returns at once: the device is paused (the stream is no longer read, nothing more
// is heard from it) and SDL's slow close, which lets the device drain, runs on the closer
// thread of platform::SdlAudio.
//
// Thread: user-interface thread, except the callback (SDL's audio thread).

#include <SDL_audio.h>

#include <atomic>
#include <chrono>
#include <cstdint>

#include "engine/play/SoundOutput.h"

namespace play {

class SdlSoundOutput : public SoundOutput {
public:
    SdlSoundOutput() = default;
    ~SdlSoundOutput() override;
    SdlSoundOutput(const SdlSoundOutput&) = delete;
    SdlSoundOutput& operator=(const SdlSoundOutput&) = delete;

    // Opens the device at the stream's format the first time (false when it cannot be opened,
    // or does not take the stream's format), then plays the stream at once.
    bool Play(PlaybackStream& stream) override;
    Progress Poll() override { return m_routed ? Progress::Playing : Progress::Failed; }
    void Stop() override;
    bool Playing() const override { return m_routed != nullptr; }
    std::int64_t HeardIndex() const override;
    // True once the device is gone (unplugged, sound server ended; SDL then plays nothing), or
    // while a stream is routed SDL has not asked for sound for kStallLimit.
    bool Lost() const override;
    static constexpr std::chrono::milliseconds kStallLimit{1500};

private:
    bool Open(int sampleRate, int channels);
    void Close();
    static void SDLCALL Callback(void* self, Uint8* data, int bytes);

    SDL_AudioDeviceID m_device = 0;
    int m_rate = 0;
    int m_channels = 0;
    PlaybackStream* m_routed = nullptr;                 // user-interface thread's view
    std::atomic<PlaybackStream*> m_source{nullptr};     // what the callback reads from
    // steady_clock nanoseconds of the callback's last run (or of the routing); SDL's thread.
    std::atomic<std::int64_t> m_lastCallback{0};
    // The output's timeline: frames SDL has taken, and those taken before its latest call.
    std::atomic<std::int64_t> m_taken{0};
    std::atomic<std::int64_t> m_handedOn{0};
};

}  // namespace play
