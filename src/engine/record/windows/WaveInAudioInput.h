#pragma once
// The sound input on Windows: the default wave input (platform::WaveInDevice), opened at once
// (the wave functions answer without a server to wait for). A device that fails a call, or
// delivers nothing for kStallLimit beyond what its sound's length explains and still nothing
// CInputClock::kConfirm later, is lost: the recorder then waits and opens it again, as it does
// with the other inputs.
//
// Thread: every method on the owner's thread; the sink on the device's delivery thread.

#include <chrono>
#include <memory>

#include "engine/record/AudioInputDevice.h"
#include "engine/record/InputClock.h"
#include "platform/windows/WaveInDevice.h"

class CWaveInAudioInput : public IAudioInputDevice {
public:
    CWaveInAudioInput() = default;
    ~CWaveInAudioInput() override { Close(); }
    CWaveInAudioInput(const CWaveInAudioInput&) = delete;
    CWaveInAudioInput& operator=(const CWaveInAudioInput&) = delete;

    static constexpr std::chrono::milliseconds kStallLimit{1500};

    bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) override;
    bool Start() override;
    void Close() override;
    bool Lost() const override;
    bool FormatRefused() const override { return m_formatRefused; }
    std::vector<InputDrop> Drops() const override;

private:
    platform::WaveInDevice m_device;
    std::unique_ptr<CInputClock> m_clock;
    Sink m_sink;
    bool m_open = false;
    bool m_started = false;
    bool m_formatRefused = false;
};
