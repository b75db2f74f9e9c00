#pragma once
// The sound input on Windows: a capture stream of the audio engine (platform::WasapiStream) on
// the chosen endpoint (its ID; empty: the default capture endpoint), or the loopback of an
// output endpoint. It runs on a thread of its own, which opens the stream (Progress tells when
// it has), waits for the engine's packets, converts them from the endpoint's mix format into
// the recording's (CMixFormatConverter) and hands them to the sink.
//
// The packets' own clocks (CPacketTimeline) tell a lost run (a jump of the device position, the
// discontinuity flag) from the silence of an output that plays nothing: the first is reported
// as a drop where it lies, the second is recorded as silence on the performance counter's
// clock, so a loopback with nothing playing keeps the recording's timeline going and never
// counts as lost.
//
// Lost: the engine said the endpoint or its service went away (an error of a call, or its
// notification that the endpoint left the active state), or nothing came for
// kStallLimit beyond what the sound's length explains and still nothing CInputClock::kConfirm
// later. The recorder then closes the input and opens it again by the same ID until it is back.
// With the default endpoint chosen, a new default (the engine's notification) is followed while
// recording, as a switch.
//
// Thread: every method on the owner's thread; the sink on the input's own thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/record/AudioInputDevice.h"
#include "engine/record/InputClock.h"
#include "engine/record/MixFormatConverter.h"
#include "engine/record/PacketTimeline.h"
#include "platform/windows/CaptureEndpointWatch.h"
#include "platform/windows/WakeEvent.h"
#include "platform/windows/WasapiStream.h"

class CWasapiAudioInput : public IAudioInputDevice {
public:
    explicit CWasapiAudioInput(std::string source);
    ~CWasapiAudioInput() override { Close(); }
    CWasapiAudioInput(const CWasapiAudioInput&) = delete;
    CWasapiAudioInput& operator=(const CWasapiAudioInput&) = delete;

    static constexpr std::chrono::milliseconds kStallLimit{1500};
    // The engine's buffer: what it holds while our thread is held up.
    static constexpr unsigned kBufferMs = 500;
    // The longest wait for a packet before the clock is looked at (silence, a new default).
    static constexpr unsigned kWaitMs = 20;
    // How far (100-nanosecond units) a packet's capture time may lie outside the span from the
    // packet before it to now and still be on the performance counter's clock.
    static constexpr std::int64_t kStampReach = 50'000'000;

    bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) override;
    OpenProgress Progress() override { return m_progress.load(std::memory_order_acquire); }
    bool Start() override;
    void Close() override;
    bool Lost() const override;
    bool FormatRefused() const override { return m_formatRefused; }
    bool SourceMissing() const override { return m_sourceMissing.load(std::memory_order_acquire); }
    std::vector<InputDrop> Drops() const override;
    std::vector<InputSwitch> Switches() const override;
    std::string SourceName() const override;
    double LatencySeconds() const override { return m_latency.load(std::memory_order_relaxed); }

private:
    // The input's thread.
    void Run();
    platform::WasapiStream::Result OpenStream();
    bool Capture();  // one round: false once the stream failed
    void Deliver(const std::uint8_t* data, std::uint64_t frames);
    void FollowDefault();

    const std::string m_source;
    WaveFormat m_format{};
    Sink m_sink;
    std::unique_ptr<CInputClock> m_clock;
    platform::WakeEvent m_wake;
    std::thread m_thread;
    std::atomic<OpenProgress> m_progress{OpenProgress::Failed};
    std::atomic<bool> m_startAsked{false};
    std::atomic<bool> m_stopAsked{false};
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_sourceMissing{false};
    std::atomic<double> m_latency{0.0};
    bool m_formatRefused = false;
    bool m_started = false;

    // The input's thread only.
    platform::WasapiStream m_stream;
    CMixFormatConverter m_converter;
    std::unique_ptr<CPacketTimeline> m_timeline;
    // What to take off the packets' capture times to put them on our clock (capture thread).
    std::int64_t m_stampOffset = 0;
    bool m_stampOffsetSet = false;
    // The last packet's capture time on our clock, or the stream's start.
    std::int64_t m_lastTime = 0;
    std::uint64_t m_framesOut = 0;  // frames handed to the sink since Open
    platform::CaptureEndpointWatch m_watch;

    mutable std::mutex m_mutex;  // what the owner reads of the thread's findings
    std::vector<InputDrop> m_drops;
    std::vector<InputSwitch> m_switches;
    std::string m_sourceName;
};
