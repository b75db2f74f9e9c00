#pragma once
// The program's sound input: a record stream on the desktop's sound server when one answers
// and the user has not chosen an SDL driver (SDL_AUDIODRIVER), SDL's capture otherwise (no
// server, plain ALSA, the tests' disk driver).
//
// Opening through the server goes on in the background (platform::ServerStreamOpening): Open
// asks for the connection and returns, Progress follows it until the stream is made. A server
// that does not answer within its limit fails the opening; a server that is not there at all
// falls back to SDL at once.
//
// Thread: every method on the owner's (user-interface) thread. The sink runs on the sound
// server's loop thread or SDL's audio thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/record/AudioInputDevice.h"
#include "engine/record/InputClock.h"
#include "platform/pulse/ServerStreamOpening.h"

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

    // How long a started stream may fall behind the clock before it counts as lost (see
    // CInputClock::Stalled: a program that was stopped is given the time to catch up).
    static constexpr std::chrono::milliseconds kStallLimit{1500};

    bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) override;
    // Through the server only: SDL tells nothing beyond its deliveries.
    void SetTiming(Timing timing, TimingWanted wanted) override
    {
        m_timing = std::move(timing);
        m_timingWanted = std::move(wanted);
    }
    OpenProgress Progress() override;
    bool Start() override;
    void Close() override;
    bool Lost() const override;
    bool FormatRefused() const override { return m_formatRefused; }
    bool SourceMissing() const override { return m_sourceMissing; }
    std::vector<InputDrop> Drops() const override;
    std::vector<InputSwitch> Switches() const override;
    std::string SourceName() const override;
    // Through the server: how long sound takes from the source to this client (the source's own
    // latency and the way to the client; not what then waits until it is read) at the server's
    // latest timing answer; false before one, or through SDL. Lets two inputs be lined up.
    bool Latency(std::chrono::microseconds& latency) const;
    double LatencySeconds() const override;

    // True when the sound server's stream is in use (rather than SDL).
    bool ThroughServer() const override { return m_capture != nullptr; }
    void RequireServer() override { m_serverOnly = true; }

private:
    enum class Phase { Closed, Opening, Open, Failed };
    bool OpenSdl();
    platform::PulseStream* BeginStream();
    // Where the server's opening has got to, as the owner sees it.
    OpenProgress Follow(platform::ServerStreamOpening::Step step);

    std::string m_source;
    WaveFormat m_format;
    std::uint32_t m_framesPerPeriod = 0;
    Sink m_sink;
    Timing m_timing;
    TimingWanted m_timingWanted;
    Phase m_phase = Phase::Closed;
    platform::ServerStreamOpening m_opening;
    bool m_started = false;
    bool m_formatRefused = false;
    bool m_sourceMissing = false;
    bool m_serverOnly = false;
    std::unique_ptr<CSdlAudioInput> m_sdl;
    std::unique_ptr<platform::PulseCapture> m_capture;
    std::unique_ptr<CInputClock> m_clock;  // made before the stream's deliveries start
};
