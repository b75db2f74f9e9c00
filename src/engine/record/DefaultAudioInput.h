#pragma once
// The program's sound input: a record stream on the desktop's sound server when one answers
// and the user has not chosen an SDL driver (SDL_AUDIODRIVER), SDL's capture otherwise (no
// server, plain ALSA, the tests' disk driver).
//
// Opening through the server goes on in the background: Open asks for the connection and
// returns, Progress makes the stream once the server answers. A server that does not answer
// within kOpenLimit of Open fails the opening; a server that is not there at all falls back
// to SDL at once.
//
// Thread: every method on the owner's (user-interface) thread. The sink runs on the sound
// server's loop thread or SDL's audio thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/record/AudioInputDevice.h"
#include "engine/record/InputClock.h"

namespace platform {
class PulseCapture;
}
class CSdlAudioInput;

class CDefaultAudioInput : public IAudioInputDevice {
public:
    // source: a source's name on the sound server, or empty for the desktop's default input
    // (SDL always records its default).
    explicit CDefaultAudioInput(std::string source = std::string());
    ~CDefaultAudioInput() override;
    CDefaultAudioInput(const CDefaultAudioInput&) = delete;
    CDefaultAudioInput& operator=(const CDefaultAudioInput&) = delete;

    static constexpr std::chrono::seconds kOpenLimit{5};
    // How long a started stream may fall behind the clock before it counts as lost.
    static constexpr std::chrono::milliseconds kStallLimit{1500};

    bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) override;
    OpenProgress Progress() override;
    bool Start() override;
    void Close() override;
    bool Lost() const override;
    bool FormatRefused() const override { return m_formatRefused; }
    bool SourceMissing() const override { return m_sourceMissing; }
    std::vector<InputDrop> Drops() const override;
    std::vector<InputSwitch> Switches() const override;
    std::string SourceName() const override;

    // True when the sound server's stream is in use (rather than SDL).
    bool ThroughServer() const override { return m_capture != nullptr; }
    void RequireServer() override { m_serverOnly = true; }

private:
    enum class Phase { Closed, Connecting, Stream, Open, Failed };
    bool OpenSdl();
    bool BeginStream();
    OpenProgress Fail();
    static std::int64_t Now();

    std::string m_source;
    WaveFormat m_format;
    std::uint32_t m_framesPerPeriod = 0;
    Sink m_sink;
    Phase m_phase = Phase::Closed;
    std::int64_t m_openedAt = 0;
    bool m_started = false;
    bool m_formatRefused = false;
    bool m_sourceMissing = false;
    bool m_serverOnly = false;
    std::unique_ptr<CSdlAudioInput> m_sdl;
    std::unique_ptr<platform::PulseCapture> m_capture;
    std::unique_ptr<CInputClock> m_clock;  // made before the stream's deliveries start
};
