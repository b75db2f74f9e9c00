#include "engine/record/windows/WasapiAudioInput.h"

#include <algorithm>
#include <cmath>

#include "platform/SteadyClock.h"
#include "platform/windows/ComScope.h"

using platform::SteadyClock;
using platform::WasapiStream;

namespace {

MixFormat ToMixFormat(const WasapiStream::Format& format)
{
    MixFormat mix;
    mix.channels = format.channels;
    mix.rate = format.rate;
    mix.channelMask = format.channelMask;
    if (format.isFloat)
        mix.sample = MixFormat::Sample::Float32;
    else if (format.bits == 8)
        mix.sample = MixFormat::Sample::Int8;
    else if (format.bits == 16)
        mix.sample = MixFormat::Sample::Int16;
    else if (format.bits == 24)
        mix.sample = MixFormat::Sample::Int24;
    else
        mix.sample = format.validBits == 24 ? MixFormat::Sample::Int24In32 : MixFormat::Sample::Int32;
    return mix;
}

}  // namespace

CWasapiAudioInput::CWasapiAudioInput(std::string source) : m_source(std::move(source)) {}

bool CWasapiAudioInput::Open(const WaveFormat& format, std::uint32_t, Sink sink)
{
    Close();
    m_formatRefused = false;
    if (format.bitsPerSample != 16 || format.channels < 1 || format.channels > 2 || format.samplesPerSec == 0) {
        m_formatRefused = true;
        return false;
    }
    m_format = format;
    m_sink = std::move(sink);
    m_clock = std::make_unique<CInputClock>(static_cast<double>(format.samplesPerSec) * format.channels * 2.0);
    m_progress.store(OpenProgress::Opening);
    m_startAsked = false;
    m_stopAsked = false;
    m_failed = false;
    m_sourceMissing = false;
    m_framesOut = 0;
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool CWasapiAudioInput::Start()
{
    if (Progress() != OpenProgress::Open)
        return false;
    m_clock->Start(SteadyClock::Now());
    m_startAsked = true;
    m_wake.Set();
    m_started = true;
    return true;
}

void CWasapiAudioInput::Close()
{
    m_stopAsked = true;
    m_wake.Set();
    if (m_thread.joinable())
        m_thread.join();
    m_started = false;
}

bool CWasapiAudioInput::Lost() const
{
    return m_started && (m_failed.load(std::memory_order_acquire) || m_clock->Stalled(SteadyClock::Now(), kStallLimit));
}

std::vector<InputDrop> CWasapiAudioInput::Drops() const
{
    std::lock_guard lock(m_mutex);
    return m_drops;
}

std::vector<InputSwitch> CWasapiAudioInput::Switches() const
{
    std::lock_guard lock(m_mutex);
    return m_switches;
}

std::string CWasapiAudioInput::SourceName() const
{
    std::lock_guard lock(m_mutex);
    return m_sourceName;
}

WasapiStream::Result CWasapiAudioInput::OpenStream()
{
    const WasapiStream::Result result = m_stream.Open(m_source, kBufferMs);
    if (result != WasapiStream::Result::Ok)
        return result;
    if (!m_converter.Configure(ToMixFormat(m_stream.MixFormat()), m_format.channels, m_format.samplesPerSec)) {
        m_stream.Close();
        return WasapiStream::Result::Refused;
    }
    m_timeline = std::make_unique<CPacketTimeline>(m_stream.MixFormat().rate, m_stream.Loopback());
    m_stampOffsetSet = false;
    std::lock_guard lock(m_mutex);
    m_sourceName = m_stream.Name();
    return result;
}

void CWasapiAudioInput::Run()
{
    platform::ComScope com;
    const WasapiStream::Result opened = com.Ok() ? OpenStream() : WasapiStream::Result::Failed;
    if (opened != WasapiStream::Result::Ok) {
        m_sourceMissing = opened == WasapiStream::Result::NoEndpoint && !m_source.empty();
        m_progress.store(OpenProgress::Failed, std::memory_order_release);
        return;
    }
    m_progress.store(OpenProgress::Open, std::memory_order_release);
    while (!m_stopAsked && !m_startAsked)
        m_stream.Wait(m_wake, 1000);
    if (!m_stopAsked) {
        if (m_stream.Start() != WasapiStream::Result::Ok) {
            m_failed = true;
        } else {
            m_lastTime = WasapiStream::Now();
            m_timeline->Start(m_lastTime);
            // Without the engine's notifications a lost endpoint is still found by its
            // errors or its silence, and the default is kept.
            m_watch.Start(m_stream.Id(), m_wake);
            while (!m_stopAsked && Capture())
                m_stream.Wait(m_wake, kWaitMs);
        }
    }
    // What the engine captured up to now is handed over before the stream closes.
    if (!m_failed)
        Capture();
    m_watch.Stop();
    m_stream.Close();
}

bool CWasapiAudioInput::Capture()
{
    bool any = false;
    for (;;) {
        WasapiStream::Packet packet;
        if (m_stream.Next(packet) != WasapiStream::Result::Ok) {
            m_failed.store(true, std::memory_order_release);
            return false;
        }
        if (packet.frames == 0)
            break;
        any = true;
        // A packet is captured after the one before it (or the stream's start), and no later
        // than now: capture times further than kStampReach outside that span are on a clock of
        // their own (Wine stamps its packets so, hours off). Their spacing still tells the
        // silence between packets, but set against our clock (the start, a wait that ran out)
        // they would make hours of it: they are moved onto ours, the first such packet taken as
        // captured now. A packet handed over long after its capture because our thread was held
        // (by a sink that blocked, say) follows the one before it, and keeps its time.
        const std::int64_t now = WasapiStream::Now();
        const auto onOurClock = [&](std::int64_t time) {
            return time >= m_lastTime - kStampReach && time <= now + kStampReach;
        };
        if (!m_stampOffsetSet || !onOurClock(packet.time - m_stampOffset)) {
            m_stampOffset = onOurClock(packet.time) ? 0 : packet.time - now;
            m_stampOffsetSet = true;
        }
        const std::int64_t time = packet.time - m_stampOffset;
        m_lastTime = time;
        const CPacketTimeline::Gap gap = m_timeline->Packet(packet.position, time, packet.frames, packet.discontinuity);
        if (gap.dropped > 0) {
            const auto frames = static_cast<std::uint64_t>(std::llround(static_cast<double>(gap.dropped) * m_converter.Ratio()));
            std::lock_guard lock(m_mutex);
            if (gap.rest && !m_drops.empty())
                m_drops.back().frames += frames;
            else
                m_drops.push_back(InputDrop{m_framesOut, frames});
        }
        Deliver(nullptr, gap.silence);
        Deliver(packet.silent ? nullptr : packet.data, packet.frames);
        const double latency = static_cast<double>(WasapiStream::Now() - time) / 1e7;
        m_latency.store(std::max(0.0, latency), std::memory_order_relaxed);
        if (m_stream.Release(packet.frames) != WasapiStream::Result::Ok) {
            m_failed.store(true, std::memory_order_release);
            return false;
        }
    }
    if (!any)
        Deliver(nullptr, m_timeline->Idle(WasapiStream::Now()));
    if (m_watch.Gone())
        m_failed.store(true, std::memory_order_release);
    else if (m_watch.TakeDefaultChanged() && m_source.empty())
        FollowDefault();
    return !m_failed.load(std::memory_order_acquire);
}

void CWasapiAudioInput::Deliver(const std::uint8_t* data, std::uint64_t frames)
{
    const std::size_t inBytes = ToMixFormat(m_stream.MixFormat()).BytesPerFrame();
    const std::size_t outFrameBytes = static_cast<std::size_t>(m_format.channels) * 2;
    while (frames > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(frames, CMixFormatConverter::kChunkFrames));
        const std::size_t made = m_converter.Convert(data, chunk);
        if (made > 0) {
            const std::size_t bytes = made * outFrameBytes;
            m_clock->Delivered(SteadyClock::Now(), bytes);
            m_sink(reinterpret_cast<const std::uint8_t*>(m_converter.Output()), bytes);
            m_framesOut += made;
        }
        if (data)
            data += chunk * inBytes;
        frames -= chunk;
    }
}

void CWasapiAudioInput::FollowDefault()
{
    const std::string id = WasapiStream::DefaultCaptureId();
    if (id.empty() || id == m_stream.Id())
        return;
    // Another endpoint became the default: the recording goes on from it (what the old one
    // captured was handed over in this round).
    m_stream.Close();
    if (OpenStream() != WasapiStream::Result::Ok || m_stream.Start() != WasapiStream::Result::Ok) {
        m_failed.store(true, std::memory_order_release);
        return;
    }
    m_lastTime = WasapiStream::Now();
    m_timeline->Start(m_lastTime);
    m_watch.Follow(m_stream.Id());
    std::lock_guard lock(m_mutex);
    m_switches.push_back(InputSwitch{m_stream.Name(), m_framesOut});
}

