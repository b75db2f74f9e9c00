#pragma once
// The queue of capture buffers between a sound input and its owner, in the manner of the wave
// input's callback mode: the owner queues buffers, a sound input (IAudioInputDevice) copies what
// it records into the queued buffers on its own thread, and one delivery thread of this class
// hands every filled buffer, in order, to the owner's callback. Portable: the Windows input
// (CWasapiAudioInput) is one of the inputs behind IAudioInputDevice.
//
// The queue and the delivery thread outlive the device: a device that is lost can be closed and
// another opened in its place, and what it records goes on into the same queue (a buffer only
// part filled goes on filling), so whoever takes the buffers sees one stream of input. The
// callback can be replaced between two buffers, so an input kept open by one owner can be taken
// over by another without a sample lost or doubled.
//
// Timeline: every frame a device hands over counts once, in order, whether it found a buffer or
// had to be dropped for want of one: FramesIn() is the position reached. Each buffer notes where
// its first frame lies on it. What the devices themselves dropped, and their changes of source,
// are translated onto it too.
//
// Threads. OpenDevice, StartDevice, CloseDevice, SetCallback, Finish and the queries on the
// owner's (user-interface) thread. AddBuffer on the owner's thread or inside the callback. The
// callback runs on the delivery thread only, one buffer at a time. Nothing here waits for the
// callback but the destructor and Join.

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

class CCaptureQueue {
public:
    using Callback = std::function<void(WaveHeader& header)>;
    static constexpr std::size_t kDefaultMaxBuffers = 64;

    // maxBuffers: how many buffers may be queued at once; the queues are allocated here, so
    // the device thread never allocates.
    explicit CCaptureQueue(std::size_t maxBuffers = kDefaultMaxBuffers);
    // Finishes if nobody did, and waits for the delivery thread to end.
    ~CCaptureQueue();
    CCaptureQueue(const CCaptureQueue&) = delete;
    CCaptureQueue& operator=(const CCaptureQueue&) = delete;

    // Starts the delivery thread with its callback; first, when given, runs on it before any
    // buffer. Once.
    void StartDelivery(Callback callback, std::function<void()> first = {});
    // From the next buffer on, buffers go to callback; first, when given, runs on the delivery
    // thread before that buffer (at once when none is waiting).
    void SetCallback(Callback callback, std::function<void()> first = {});

    // Opens a device for format (paused), or begins to; false when it cannot be opened at all
    // (the device is kept for its FormatRefused and SourceMissing until the next one). A device
    // opened before must have been closed.
    bool OpenDevice(std::unique_ptr<IAudioInputDevice> device, const WaveFormat& format,
                    std::uint32_t framesPerPeriod);
    // Whether the device's opening has finished (see IAudioInputDevice::Progress).
    IAudioInputDevice::OpenProgress DeviceProgress();
    bool StartDevice();
    // Closes the device: nothing more comes from it. The buffers stay queued, the filled ones
    // are still delivered; what it counted stays in the totals.
    void CloseDevice();
    // A device is open (or opening).
    bool HasDevice() const { return m_deviceOpen; }
    // The open device is gone or has stopped delivering (see IAudioInputDevice::Lost).
    bool DeviceLost() const { return m_deviceOpen && m_device->Lost(); }
    bool FormatRefused() const { return m_device && m_device->FormatRefused(); }
    bool SourceMissing() const { return m_device && m_device->SourceMissing(); }
    bool ThroughServer() const { return m_device && m_device->ThroughServer(); }
    std::string SourceName() const { return m_device ? m_device->SourceName() : std::string(); }
    double LatencySeconds() const { return m_deviceOpen ? m_device->LatencySeconds() : 0.0; }

    // Queues an empty buffer; false once finishing, when the header is already queued or not
    // yet taken back (flags not 0), or when the queue is full.
    bool AddBuffer(WaveHeader& header);

    // Ends: closes the device; the delivery thread hands every filled buffer, then the buffers
    // still queued (flag done, bytesRecorded as far as they got, possibly 0) to the callback,
    // runs drained and ends. Never waits.
    void Finish(std::function<void()> drained = {});
    // The delivery thread has ended (after Finish).
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    // Waits for the delivery thread to end. Not from the callback.
    void Join();

    // Frames handed over by the devices so far: the position reached on the input's timeline.
    std::uint64_t FramesIn() const { return m_framesIn.load(std::memory_order_acquire); }
    // Times a device had data and no queued buffer to put it in (the data is dropped).
    std::uint64_t Overruns() const { return m_overruns.load(std::memory_order_relaxed); }
    // Every run of input dropped, by the devices or for want of a buffer, on the timeline.
    std::vector<InputDrop> Drops() const;
    // Every change of source of the devices, on the timeline.
    std::vector<InputSwitch> Switches() const;

    // One delivery of a device: when it came (steady-clock nanoseconds) and the timeline's
    // position at its end. The last kMaxArrivals are kept for whoever follows the device's clock.
    // A device's timing answer is kept as an arrival too (told: no sound came with it), at the
    // frames the device then had.
    struct Arrival {
        std::int64_t nanos = 0;
        std::uint64_t framesEnd = 0;
        bool told = false;
    };
    static constexpr std::size_t kMaxArrivals = 256;
    // Takes the oldest arrival not yet taken; false when there is none. One taker at a time.
    bool TakeArrival(Arrival& arrival);

private:
    void OnData(const std::uint8_t* data, std::size_t bytes);  // device thread
    void OnTiming(std::int64_t nanos, std::uint64_t framesAhead);  // device thread
    bool TimingWanted();                                        // device thread
    void AddArrival(const Arrival& arrival);                    // device thread, m_mutex held
    void DeliveryLoop();                                        // delivery thread
    // What the device counted, on the timeline (owner's thread).
    void AddDeviceCounts(std::vector<InputDrop>* drops, std::vector<InputSwitch>* switches) const;

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
    bool m_deviceOpen = false;
    std::uint64_t m_deviceBase = 0;  // the timeline's position when the device opened
    std::uint32_t m_frameBytes = 2;
    std::vector<InputDrop> m_pastDrops;  // of devices closed before (owner's thread)
    std::vector<InputSwitch> m_pastSwitches;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    Ring m_queued;  // waiting to be filled; the front one is being filled
    Ring m_filled;  // waiting for the callback
    std::shared_ptr<const Callback> m_callback;
    std::function<void()> m_first;
    std::function<void()> m_drained;
    bool m_finishing = false;
    std::thread m_delivery;
    std::atomic<bool> m_finished{false};

    std::atomic<std::uint64_t> m_framesIn{0};
    std::atomic<std::uint64_t> m_overruns{0};
    // Runs dropped for want of a buffer: at most kMaxOverrunRuns are kept one by one (in memory
    // allocated here), the rest only added to the last one.
    static constexpr std::size_t kMaxOverrunRuns = 256;
    std::vector<InputDrop> m_overrunRuns;
    std::vector<Arrival> m_arrivals;  // a ring of kMaxArrivals
    std::size_t m_arrivalHead = 0;
    std::size_t m_arrivalCount = 0;
    std::atomic<std::size_t> m_overrunCount{0};
    bool m_inGap = false;  // device thread only
};
