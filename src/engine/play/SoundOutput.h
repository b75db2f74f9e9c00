#pragma once
// A sound output device (SDL2 playback) at a given rate and channel count, 16-bit samples.
// Routing a PlaybackStream to it plays the stream in the background, on SDL's audio thread,
// until it is routed to none. The audio callback only copies from the stream's ring.
//
// Closing returns at once: the device is paused (the stream is no longer read, nothing more
// is heard from it) and SDL's slow close, which lets the device drain, runs on the closer
// thread of platform::SdlAudio.
//
// Thread: user-interface thread, except the callback.

#include <SDL_audio.h>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace play {

class PlaybackStream;

class SoundOutput {
public:
    SoundOutput() = default;
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Loads and initialises SDL's audio when needed and opens the default device, paused.
    // False when no device can be opened.
    bool Open(int sampleRate, int channels);
    // Stops reading the routed stream and hands the device to the background closer.
    void Close();
    bool IsOpen() const { return m_device != 0; }

    // Starts playing stream (its rate and channels must be the output's; false otherwise),
    // or with nullptr stops: when Route(nullptr) returns, the stream is no longer read.
    bool Route(PlaybackStream* stream);
    PlaybackStream* Routed() const { return m_routed; }

    // True once the device is gone (unplugged, sound server ended; SDL then plays nothing), or
    // while a stream is routed SDL has not asked for sound for kStallLimit.
    bool Lost() const;
    static constexpr std::chrono::milliseconds kStallLimit{1500};

    int SampleRate() const { return m_rate; }
    int Channels() const { return m_channels; }

private:
    static void SDLCALL Callback(void* self, Uint8* data, int bytes);

    SDL_AudioDeviceID m_device = 0;
    int m_rate = 0;
    int m_channels = 0;
    PlaybackStream* m_routed = nullptr;                 // user-interface thread's view
    std::atomic<PlaybackStream*> m_source{nullptr};     // what the callback reads from
    // steady_clock nanoseconds of the callback's last run (or of the routing); SDL's thread.
    std::atomic<std::int64_t> m_lastCallback{0};
};

}  // namespace play
