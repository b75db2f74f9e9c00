#pragma once
// The sound input through the Windows multimedia wave-input functions in callback mode:
// waveInOpen on WAVE_MAPPER with 16-bit PCM, prepared headers queued with waveInAddBuffer.
//
// The driver's callback only hands each filled buffer over: it puts the header in a queue and
// wakes our delivery thread (the callback may call no other wave function). The delivery thread
// gives the recorded bytes to the sink, which copies them, and queues the buffer again. When the
// driver ran out of queued buffers (the delivery thread fell behind), the input that came until
// the next buffer was queued had nowhere to go: it is counted as a drop, placed where the driver
// ran out (after the last frame of the buffer it handed back last).
//
// Close takes every buffer back from the driver and delivers what they hold, those the driver
// had filled and the one it was filling, before it returns: what was recorded up to Close is
// never thrown away.
//
// Thread: Open, Start, Close and the getters on the owner's thread; the sink on the delivery
// thread. Windows only.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

class WaveInDevice {
public:
    using Sink = std::function<void(const std::uint8_t* data, std::size_t bytes)>;
    enum class OpenResult { Opened, NoDevice, FormatRefused };
    // How long Close waits for the driver to hand its buffers back (it does so at once unless
    // it is broken).
    static constexpr std::chrono::milliseconds kCloseLimit{500};

    // A drop: frames delivered before it, and frames lost.
    struct Drop {
        std::uint64_t atFrame = 0;
        std::uint64_t frames = 0;
    };

    WaveInDevice();
    ~WaveInDevice();
    WaveInDevice(const WaveInDevice&) = delete;
    WaveInDevice& operator=(const WaveInDevice&) = delete;

    // Opens the default input (paused) with buffers of framesPerBuffer frames, enough of them
    // for at least two seconds of input.
    OpenResult Open(std::uint32_t rate, std::uint16_t channels, std::uint32_t framesPerBuffer, Sink sink);
    // Queues the buffers and starts recording. False when the device refused.
    bool Start();
    // Stops, takes every buffer back, delivers what they hold (waiting at most kCloseLimit for
    // the driver to hand them back) and closes the device; the sink is never called after.
    void Close();
    // True once the driver failed a call while recording (the device went away).
    bool Failed() const { return m_failed.load(std::memory_order_acquire); }
    std::vector<Drop> Drops() const;

    struct State;  // what the driver's callback shares with the delivery thread

private:
    void Deliver();
    // Delivery thread: queues header index again, unless closing, and counts the drop when the
    // driver had run out of buffers.
    void Requeue(std::size_t index);

    std::unique_ptr<State> m_state;
    Sink m_sink;
    std::thread m_thread;
    std::atomic<bool> m_failed{false};
    mutable std::mutex m_dropsMutex;
    std::vector<Drop> m_drops;
};

}  // namespace platform
