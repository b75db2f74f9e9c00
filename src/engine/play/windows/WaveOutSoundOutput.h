#pragma once
// The sound output on Windows: the default wave output (platform::WaveOutDevice), opened at
// each Play at the stream's rate and channels and closed at Stop. What is heard is what the
// device reports as played. The device is lost when a write fails, or when it has taken no
// buffer back for kStallLimit while playing.
//
// Thread: every method on the owner's thread; the stream is pulled on the device's feeding
// thread.

#include <chrono>

#include "engine/play/SoundOutput.h"
#include "platform/windows/WaveOutDevice.h"

namespace play {

class WaveOutSoundOutput : public SoundOutput {
public:
    WaveOutSoundOutput() = default;
    ~WaveOutSoundOutput() override { Stop(); }
    WaveOutSoundOutput(const WaveOutSoundOutput&) = delete;
    WaveOutSoundOutput& operator=(const WaveOutSoundOutput&) = delete;

    static constexpr std::chrono::milliseconds kStallLimit{1500};

    bool Play(PlaybackStream& stream) override;
    Progress Poll() override { return m_stream ? Progress::Playing : Progress::Failed; }
    void Stop() override;
    bool Playing() const override { return m_stream != nullptr; }
    std::int64_t HeardIndex() const override;
    bool Lost() const override;

private:
    platform::WaveOutDevice m_device;
    PlaybackStream* m_stream = nullptr;  // between Play and Stop
    std::int64_t m_playedAt = 0;
};

}  // namespace play
