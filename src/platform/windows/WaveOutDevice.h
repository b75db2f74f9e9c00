#pragma once
// The sound output through the Windows multimedia wave-output functions: waveOutOpen on
// WAVE_MAPPER with 16-bit PCM, a few prepared buffers that our feeding thread fills (the pull
// only copies decoded samples) and writes again as the driver hands them back.
//
// What is heard is what the device reports as played (waveOutGetPosition in samples): frames
// on the output's timeline since Open, which starts at 0.
//
// Thread: Open, Close and the getters on the owner's thread; the pull on the feeding thread.
// Windows only.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class WaveOutDevice {
public:
    // Fills out with frames interleaved samples; index: where out begins on the timeline.
    using Pull = std::function<void(std::int16_t* out, std::size_t frames, std::int64_t index)>;

    WaveOutDevice();
    ~WaveOutDevice();
    WaveOutDevice(const WaveOutDevice&) = delete;
    WaveOutDevice& operator=(const WaveOutDevice&) = delete;

    // Opens the default output at the format and starts playing what pull gives. False when
    // no output takes the format.
    bool Open(std::uint32_t rate, std::uint16_t channels, Pull pull);
    // Stops at once (what the device still holds is not played) and closes. When it returns
    // the pull is never called again. Returns the frames heard until then.
    std::int64_t Close();
    bool IsOpen() const { return m_state != nullptr; }
    // Frames the device reports played so far; -1 when closed or unknown.
    std::int64_t Played() const;
    // Steady-clock nanoseconds when the device last took a buffer back; 0 before it did.
    std::int64_t LastReturn() const;
    // True once the driver failed a write (the device went away).
    bool Failed() const { return m_failed.load(std::memory_order_acquire); }

    struct State;

private:
    void Feed();

    std::unique_ptr<State> m_state;
    Pull m_pull;
    std::thread m_thread;
    std::mutex m_pullMutex;  // held by the feeding thread while it pulls; Close takes it once
    std::atomic<bool> m_failed{false};
};

}  // namespace platform
