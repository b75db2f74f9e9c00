#pragma once
// Wave input in callback mode over an IAudioInputDevice: the owner queues buffers, the device's
// thread only copies recorded samples into the queued buffers, and one delivery thread of this
// class hands every filled buffer, in order, to the owner's callback.
//
// Threads: Open, Start and Close on the owner's (user-interface) thread. AddBuffer on the
// owner's thread or inside the callback. The callback runs on the delivery thread only, one
// buffer at a time; Close joins that thread, so no callback runs after Close returns. Close
// must not be called from inside the callback.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/record/AudioInputDevice.h"
#include "engine/record/WaveFormat.h"

class CWaveIn {
public:
    using Callback = std::function<void(WaveHeader& header)>;
    static constexpr std::size_t kDefaultMaxBuffers = 32;

    // maxBuffers: how many buffers may be queued at once; the queues are allocated here, so
    // the device thread never allocates.
    explicit CWaveIn(std::unique_ptr<IAudioInputDevice> device, std::size_t maxBuffers = kDefaultMaxBuffers);
    ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // Opens the device (paused), or begins to, and starts the delivery thread.
    bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Callback callback);
    bool IsOpen() const { return m_open; }
    // Runs on the delivery thread once Close has handed over the last buffer, before the
    // thread ends. Set before Open.
    void SetDrained(std::function<void()> drained) { m_drained = std::move(drained); }
    // Whether the device's opening has finished (see IAudioInputDevice::Progress).
    IAudioInputDevice::OpenProgress DeviceProgress() { return m_device->Progress(); }
    // Queues an empty buffer; false when the device is closed or closing, the header is already
    // queued or not yet taken back (flags not 0), or the queue is full.
    bool AddBuffer(WaveHeader& header);
    bool Start();
    // Stops the device, hands every filled buffer to the callback, then hands back the buffers
    // still queued (flag done, bytesRecorded as far as they got, possibly 0), and joins the
    // delivery thread. True when the device was open.
    bool Close();

    // Times the device had data and no queued buffer to put it in (the data is dropped).
    std::uint64_t Overruns() const { return m_overruns.load(std::memory_order_relaxed); }
    // Runs of dropped data between data that found a buffer, and the bytes dropped in all;
    // with what the device itself had to drop.
    std::uint64_t Gaps() const
    {
        return m_gaps.load(std::memory_order_relaxed) + (m_device ? m_device->Drops().size() : 0);
    }
    // Bytes dropped, in the opened format.
    std::uint64_t DroppedBytes() const
    {
        std::uint64_t bytes = m_droppedBytes.load(std::memory_order_relaxed);
        if (m_device)
            for (const InputDrop& drop : m_device->Drops())
                bytes += drop.frames * m_frameBytes;
        return bytes;
    }
    std::vector<InputSwitch> Switches() const { return m_device ? m_device->Switches() : std::vector<InputSwitch>{}; }
    std::string SourceName() const { return m_device ? m_device->SourceName() : std::string(); }
    bool ThroughServer() const { return m_device && m_device->ThroughServer(); }
    // The device is gone or has stopped delivering (see IAudioInputDevice::Lost).
    bool DeviceLost() const { return m_open && m_device->Lost(); }
    bool FormatRefused() const { return m_device && m_device->FormatRefused(); }
    bool SourceMissing() const { return m_device && m_device->SourceMissing(); }

private:
    void OnData(const std::uint8_t* data, std::size_t bytes);  // device thread
    void DeliveryLoop();                                        // delivery thread

    // A ring of header pointers of fixed capacity: the device thread never allocates.
    struct Ring {
        explicit Ring(std::size_t capacity) : items(capacity, nullptr) {}
        std::vector<WaveHeader*> items;
        std::size_t head = 0;
        std::size_t count = 0;
        bool Push(WaveHeader* h);
        WaveHeader* Front() const { return count ? items[head] : nullptr; }
        WaveHeader* Pop();
    };

    std::unique_ptr<IAudioInputDevice> m_device;
    Callback m_callback;
    std::function<void()> m_drained;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Ring m_queued;   // waiting to be filled; the front one is being filled
    Ring m_filled;   // waiting for the callback
    bool m_closing = false;
    bool m_open = false;
    std::size_t m_frameBytes = 0;
    std::thread m_delivery;
    std::atomic<std::uint64_t> m_overruns{0};
    std::atomic<std::uint64_t> m_gaps{0};
    std::atomic<std::uint64_t> m_droppedBytes{0};
    bool m_inGap = false;  // device thread only
};
