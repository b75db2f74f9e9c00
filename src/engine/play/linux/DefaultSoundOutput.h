#pragma once
// The program's sound output: a playback stream on the desktop's sound server when one answers
// and the user has not chosen an SDL driver (SDL_AUDIODRIVER), SDL's playback otherwise (no
// server, plain ALSA, the tests' disk driver, Windows).
//
// Through the server every Play makes a stream of its own and every Stop closes it, neither
// waiting for the server: Play asks for the connection (or the stream) and returns, Poll
// follows the opening (platform::ServerStreamOpening). A server that does not answer within
// its limit fails the opening; a server that is not there at all gives way to SDL at once.
// What is heard is the server's own timing of the stream.
//
// Thread: every method on the owner's (user-interface) thread. The stream is read on the sound
// server's loop thread or SDL's audio thread.

#include <cstdint>
#include <memory>

#include "engine/play/SoundOutput.h"
#include "platform/pulse/ServerStreamOpening.h"

namespace platform {
class PulsePlayback;
}

namespace play {

class SdlSoundOutput;

class DefaultSoundOutput : public SoundOutput {
public:
    DefaultSoundOutput();
    ~DefaultSoundOutput() override;
    DefaultSoundOutput(const DefaultSoundOutput&) = delete;
    DefaultSoundOutput& operator=(const DefaultSoundOutput&) = delete;

    bool Play(PlaybackStream& stream) override;
    Progress Poll() override;
    void Stop() override;
    bool Playing() const override;
    std::int64_t HeardIndex() const override;
    bool Lost() const override;

    // True when the sound server's stream is in use (rather than SDL).
    bool ThroughServer() const { return m_pulse != nullptr; }

private:
    enum class Phase { Stopped, Opening, Playing };
    bool PlaySdl();
    platform::PulseStream* BeginStream();
    // Where the server's opening has got to, as the owner sees it.
    Progress Follow(platform::ServerStreamOpening::Step step);
    // Closes the server's stream and tells the played stream what was heard.
    void EndStream();

    PlaybackStream* m_stream = nullptr;  // between Play and Stop
    Phase m_phase = Phase::Stopped;
    platform::ServerStreamOpening m_opening;
    std::unique_ptr<SdlSoundOutput> m_sdl;  // once chosen, kept: its device stays open
    std::unique_ptr<platform::PulsePlayback> m_pulse;
};

}  // namespace play
