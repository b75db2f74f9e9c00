#pragma once
// The sound input a recording (or the seconds kept before one) is taken from: a queue of
// capture buffers (CCaptureQueue) with its buffers, allocated once, the device it opens, and
// what happens when that device is lost.
//
// A lost device does not end anything. Follow, polled by the user-interface thread, closes it
// (what it gave is still delivered) and waits: about once a second it opens a new one in its
// place (the chosen source only, or whatever is the default then; through the sound server only
// when the lost one was), never waiting on it, and what that records goes on into the same
// buffers, with nothing put in for the gap. Every outage is noted with its place on the input's
// timeline and its wall-clock length; it lasts until the new device has delivered something,
// so one that opens and is lost again before it delivered is still the same outage.
//
// Buffers that come back are queued again while capturing. The callback that takes them can be
// replaced between two buffers, which is how a recording takes over an input kept open before it.
//
// Threads: everything on the user-interface thread, but the callback, which runs on the wave
// input's delivery thread. The destructor waits for that thread; Finish does not.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/record/AudioInputDevice.h"
#include "engine/record/WaveFormat.h"
#include "engine/record/CaptureQueue.h"

class CCaptureInput {
public:
    using MakeDevice = std::function<std::unique_ptr<IAudioInputDevice>()>;
    enum class Progress { Pending, Started, Failed };
    enum class Failure {
        None,
        Device,         // the sound input or the sound server could not be opened
        Format,         // the input refused the format
        SourceMissing,  // the chosen source does not exist
    };
    // The input was away: from timeline position atFrame, for wallSeconds of wall-clock time
    // until a new device was open again (or until now, while it is still away).
    struct Outage {
        std::uint64_t atFrame = 0;
        double wallSeconds = 0;
    };
    static constexpr std::chrono::milliseconds kRetryInterval{1000};
    // The buffer-size rule of every input a recording uses (its own, the second source, the one
    // kept open before Record), so that one can take over another's buffers as they are.
    // The capture queue holds at least this much sound: a sound server may deliver what piled
    // up before the stream started in one burst, a source with a long latency hands over two
    // seconds at a time, and after the program was held up (a stopped process, a machine under
    // load) the server hands over all it kept, up to its own buffer's length (about 1.7 MB at
    // 44.1 kHz stereo, allocated once).
    static constexpr std::uint32_t kQueueMilliseconds = 10000;
    // Frames in one capture buffer: a tenth of a second.
    static std::uint32_t BufferFramesFor(std::uint32_t rate) { return rate >= 10 ? rate / 10 : 1; }

    // Buffers of bufferFrames frames of format, enough to hold queueMilliseconds of input.
    CCaptureInput(MakeDevice makeDevice, const WaveFormat& format, std::uint32_t bufferFrames,
                  std::uint32_t queueMilliseconds);
    ~CCaptureInput();
    CCaptureInput(const CCaptureInput&) = delete;
    CCaptureInput& operator=(const CCaptureInput&) = delete;

    // Opens a device (or begins to), queues every buffer and starts delivering to callback
    // (first runs on the delivery thread before any buffer). Started once the device runs;
    // Pending while it opens (Poll later); Failed (LastFailure tells why) when it cannot.
    Progress Begin(CCaptureQueue::Callback callback, std::function<void()> first = {});
    Progress Poll();
    Failure LastFailure() const { return m_failure; }
    // From the next buffer on, buffers go to callback; first runs on the delivery thread before.
    void SetCallback(CCaptureQueue::Callback callback, std::function<void()> first);

    // Follows the device (see above); call it on every timer tick. True while the input is away.
    bool Follow();
    bool Waiting() const { return m_wait != Wait::None; }
    // Opens a new device at once when the input is away (instead of at the next retry).
    void RetryNow();
    bool IsCapturing() const { return m_capturing.load(std::memory_order_acquire); }

    // Buffers that come back from now on are delivered but not queued again.
    void StopCapturing() { m_capturing.store(false, std::memory_order_release); }
    // Ends: closes the device; every buffer goes back through the callback, then drained runs on
    // the delivery thread, which then ends. Never waits.
    void Finish(std::function<void()> drained);
    bool Finished() const { return m_queue.Finished(); }
    // Waits for the delivery thread to end, after Finish. Not from the callback.
    void Join() { m_queue.Join(); }

    const WaveFormat& Format() const { return m_format; }
    std::uint32_t BufferFrames() const { return m_bufferFrames; }
    int BufferCount() const { return static_cast<int>(m_headers.size()); }
    // The position reached on the input's timeline (frames handed over by its devices).
    std::uint64_t FramesIn() const { return m_queue.FramesIn(); }
    std::uint64_t Overruns() const { return m_queue.Overruns(); }
    std::vector<InputDrop> Drops() const { return m_queue.Drops(); }
    std::vector<InputSwitch> Switches() const { return m_queue.Switches(); }
    // Every outage so far, the one going on counted until now.
    std::vector<Outage> Outages() const;
    // The devices' deliveries, oldest first, for following the input's clock (one taker).
    bool TakeArrival(CCaptureQueue::Arrival& arrival) { return m_queue.TakeArrival(arrival); }
    // The name of the source being recorded; empty when not known (SDL).
    std::string SourceName() const { return m_queue.SourceName(); }
    // Seconds between a frame's capture and its delivery, as the device tells (0: unknown).
    double LatencySeconds() const { return m_queue.LatencySeconds(); }

private:
    enum class Wait { None, Closed, Opening };
    using SteadyTime = std::chrono::steady_clock::time_point;

    bool OpenDevice();
    Progress StartOpened();
    void Lose(SteadyTime now);
    void Reopen(SteadyTime now);
    void PollReopen(SteadyTime now);
    void RetryLater(SteadyTime now);
    void OnBuffer(const CCaptureQueue::Callback& callback, WaveHeader& header);  // delivery thread

    MakeDevice m_makeDevice;
    WaveFormat m_format;
    std::uint32_t m_bufferFrames;
    // Allocated once; the device holds pointers to the headers.
    std::vector<WaveHeader> m_headers;
    std::vector<std::unique_ptr<std::int16_t[]>> m_blocks;
    CCaptureQueue m_queue;
    std::atomic<bool> m_capturing{false};
    Failure m_failure = Failure::None;
    bool m_begun = false;

    // The lost device's state.
    Wait m_wait = Wait::None;
    bool m_serverOnly = false;
    std::vector<Outage> m_outages;  // ended
    std::uint64_t m_lostAtFrame = 0;
    SteadyTime m_lostAt;
    SteadyTime m_nextTry;
    // A new device opened at m_resumedAt; its outage ends once the timeline has moved past
    // m_framesAtResume.
    bool m_resumed = false;
    SteadyTime m_resumedAt;
    std::uint64_t m_framesAtResume = 0;
};
