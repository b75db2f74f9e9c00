#include "platform/pulse/PulseCapture.h"

#include <sys/time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/pulse/PulseApi.h"
#include "platform/pulse/PulseServer.h"
#include "platform/SteadyClock.h"

namespace platform {

namespace {

// Mono frames averaged per sink call; the mixing memory is allocated once, at Begin.
constexpr std::size_t kMixFrames = 4096;
// No read callback for this long (the program stopped, or a source that hands over seconds at a
// time): for kAskFor after it every read asks for the server's timing.
constexpr std::chrono::milliseconds kQuiet{500};
constexpr std::chrono::milliseconds kAskFor{1000};

std::int64_t SystemMinusSteadyMicros()
{
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_usec - SteadyClock::Now() / 1000;
}

}  // namespace

PulseCapture::PulseCapture() = default;

PulseCapture::~PulseCapture() { Close(); }

void PulseCapture::CopyName(std::array<char, 256>& to, const char* from)
{
    to.fill('\0');
    if (from != nullptr)
        std::strncpy(to.data(), from, to.size() - 1);
}

bool PulseCapture::Begin(std::uint32_t rate, int channels, const std::string& source, Sink sink, Timing timing,
                         TimingWanted wanted)
{
    Close();
    if (rate == 0 || channels < 1 || channels > 2)
        return false;
    m_sink = std::move(sink);
    m_timing = std::move(timing);
    m_timingWanted = std::move(wanted);
    m_cycled.store(false, std::memory_order_relaxed);
    m_rate = rate;
    m_channels = channels;
    m_mix.assign(kMixFrames, 0);
    m_frames.store(0);
    m_switchCount.store(0);
    m_batchBytes = 0;
    m_asking = false;
    m_lastAsk = 0;
    m_answerCount = 0;
    m_latencyMicros.store(-1);
    m_meter.Reset(2u * static_cast<std::size_t>(channels), 0.0, 0);
    CopyName(m_openedOn.name, nullptr);

    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = rate;
    spec.channels = static_cast<std::uint8_t>(channels);
    // For mono the stream takes the source's own channels (FIX_CHANNELS) and Deliver averages
    // them. About 100 ms a fragment, and the buffer, counted for two channels (most sources
    // have two).
    const std::uint32_t frameBytes = 2u * static_cast<std::uint32_t>(std::max(channels, 2));
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(kBufferLength.count()) * rate * frameBytes;
    attr.tlength = static_cast<std::uint32_t>(-1);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = rate / 10 * frameBytes;
    int flags = PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE;
    if (channels == 1)
        flags |= PA_STREAM_FIX_CHANNELS;
    const bool named = !source.empty();
    if (named)
        flags |= PA_STREAM_DONT_MOVE;
    // The default entry: PULSE_SOURCE, read now (libpulse itself reads it only when the
    // connection is made), else the server's default, which the stream then follows.
    const char* device = named ? source.c_str() : std::getenv("PULSE_SOURCE");
    if (device != nullptr && *device == '\0')
        device = nullptr;
    const PulseApi& api = m_stream.Api();
    return m_stream.Open("Запись", "production", spec, named, [this](pa_stream* stream) { OnReady(stream); },
                         [&](pa_stream* stream) {
                             api.pa_stream_set_read_callback(stream, &PulseCapture::OnRead, this);
                             api.pa_stream_set_moved_callback(stream, &PulseCapture::OnMoved, this);
                             api.pa_stream_set_latency_update_callback(stream, &PulseCapture::OnTiming, this);
                             return api.pa_stream_connect_record(stream, device, &attr,
                                                                 static_cast<pa_stream_flags_t>(flags)) >= 0;
                         });
}

void PulseCapture::OnReady(pa_stream* stream)
{
    const PulseApi& api = m_stream.Api();
    // PulseAudio hands sound over as its source gives it, and the arrivals alone tell its clock
    // best: with its answers added, a recording's second source was once heard 0.36 % flat for
    // seconds. (The server's name was answered before the stream was.)
    m_cycled.store(PulseServer::Get().PipeWire(), std::memory_order_relaxed);
    if (const pa_sample_spec* spec = api.pa_stream_get_sample_spec(stream)) {
        m_streamChannels.store(spec->channels, std::memory_order_relaxed);
        const std::size_t frameBytes = 2u * spec->channels;
        // Nine tenths of a fragment: a source that posts every few milliseconds is read about
        // ten times a second, one that hands over whole fragments at each one.
        m_batchBytes = static_cast<std::size_t>(spec->rate) * frameBytes * 9u / 100u;
        const pa_buffer_attr* attr = api.pa_stream_get_buffer_attr(stream);
        m_meter.Reset(frameBytes, static_cast<double>(spec->rate) * static_cast<double>(frameBytes),
                      attr != nullptr ? attr->maxlength : 0);
    }
    CopyName(m_openedOn.name, api.pa_stream_get_device_name(stream));
}

bool PulseCapture::Start()
{
    pa_stream* stream = m_stream.Get();
    if (stream == nullptr || Poll() != Progress::Ready)
        return false;
    PulseServer::Lock lock;
    m_meter.Start();
    m_lastCallback = SteadyClock::Now();
    m_askUntil = 0;
    pa_operation* op = m_stream.Api().pa_stream_cork(stream, 0, nullptr, nullptr);
    if (op == nullptr)
        return false;
    m_stream.Api().pa_operation_unref(op);
    return true;
}

void PulseCapture::Close()
{
    if (m_stream.Get() == nullptr)
        return;
    PulseServer::Lock lock;  // the loop's lock may be taken again inside: it is recursive
    m_meter.Flush();
    m_stream.Close();
}

bool PulseCapture::Latency(std::chrono::microseconds& latency) const
{
    const std::int64_t micros = m_latencyMicros.load(std::memory_order_acquire);
    if (m_stream.Get() == nullptr || micros < 0)
        return false;
    latency = std::chrono::microseconds(micros);
    return true;
}

std::string PulseCapture::OpenedOn() const
{
    if (!m_stream.WasReady())
        return std::string();
    return m_openedOn.name.data();
}

std::vector<PulseCapture::Switch> PulseCapture::Switches() const
{
    std::vector<Switch> switches;
    const std::size_t count = m_switchCount.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < count; ++i)
        switches.push_back(Switch{m_switches[i].name.data(), m_switches[i].frames});
    return switches;
}

void PulseCapture::OnRead(pa_stream* stream, std::size_t bytes, void* userdata)
{
    auto* self = static_cast<PulseCapture*>(userdata);
    const PulseApi& api = self->m_stream.Api();
    // After a pause the server's timing is asked for at every read for a while: a drop shows
    // in the first answers after it, and the closer they come, the closer its place is known.
    // Otherwise at least every kLatencyAskEvery, and more often until the latency is known.
    const std::int64_t now = SteadyClock::Now();
    if (now - self->m_lastCallback > SteadyClock::Nanos(kQuiet))
        self->m_askUntil = now + SteadyClock::Nanos(kAskFor);
    self->m_lastCallback = now;
    const auto every = self->m_answerCount < kLatencyFirstAnswers ? kLatencyFirstAskEvery : kLatencyAskEvery;
    if (now < self->m_askUntil || now - self->m_lastAsk > SteadyClock::Nanos(every))
        self->AskTiming(stream);
    // What is waiting stays with the stream until there is a batch of it; the callback comes
    // again with each arrival.
    if (bytes < self->m_batchBytes)
        return;
    const void* data = nullptr;
    std::size_t length = 0;
    while (api.pa_stream_peek(stream, &data, &length) == 0 && length > 0) {
        // A hole (no data) is input the server does not have: dropped where it lies.
        if (data == nullptr) {
            self->m_meter.Hole(length);
        } else {
            self->m_meter.Taking(length);
            self->Deliver(data, length);
        }
        api.pa_stream_drop(stream);
    }
    // PipeWire hands sound over on a cycle of its own, in blocks of the fragment's size: each
    // block comes up to a cycle after its end, by a different share each time, while the count
    // of frames the server has taken in moves on at each cycle's start. Asked right after a
    // delivery, which comes just after a cycle, the answer tells that count within a
    // millisecond or so of when the cycle began.
    // Only while somebody follows the clock: each answer costs the server a request.
    if (self->m_timing && self->m_cycled.load(std::memory_order_relaxed) &&
        (!self->m_timingWanted || self->m_timingWanted()))
        self->AskTiming(stream);
}

void PulseCapture::AskTiming(pa_stream* stream)
{
    if (m_asking)
        return;
    // No completion callback: the answer comes to OnTiming, which Close clears.
    const PulseApi& api = m_stream.Api();
    if (pa_operation* op = api.pa_stream_update_timing_info(stream, nullptr, nullptr)) {
        api.pa_operation_unref(op);
        m_asking = true;
        m_lastAsk = SteadyClock::Now();
    }
}

void PulseCapture::OnTiming(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<PulseCapture*>(userdata);
    const PulseApi& api = self->m_stream.Api();
    self->m_asking = false;
    const pa_timing_info* info = api.pa_stream_get_timing_info(stream);
    if (info == nullptr || info->read_index_corrupt || info->write_index_corrupt)
        return;
    // At the answer, not later: libpulse moves the read index on with every read, the write
    // index only with the next answer.
    // The way from the source to this client: what then waits in the stream's buffer until it
    // is read is left out, since a reader tells that by when each block arrives.
    if (self->m_frames.load(std::memory_order_relaxed) > 0)
        self->NoteLatency(static_cast<std::int64_t>(info->source_usec + info->transport_usec));
    const std::size_t unread = api.pa_stream_readable_size(stream);
    const std::int64_t serverMicros = static_cast<std::int64_t>(info->timestamp.tv_sec) * 1000000 + info->timestamp.tv_usec;
    self->m_meter.Timing(serverMicros, info->write_index, info->read_index,
                         unread == static_cast<std::size_t>(-1) ? 0 : unread, SystemMinusSteadyMicros());
    // Frames the server had taken in by now beyond those read (whether given to the sink, or a
    // hole dropped): in the sink's count, past what it has been given.
    const int channels = std::max(self->m_streamChannels.load(std::memory_order_relaxed), 1);
    if (self->m_timing && self->m_cycled.load(std::memory_order_relaxed) && info->write_index > info->read_index)
        self->m_timing(SteadyClock::Now(), static_cast<std::uint64_t>(info->write_index - info->read_index) /
                                               (2u * static_cast<std::uint64_t>(channels)));
}

void PulseCapture::NoteLatency(std::int64_t micros)
{
    m_answers[m_answerCount++ % kLatencyAnswers] = micros;
    // Not before kLatencyFirstAnswers: the first two or three after the first delivery may
    // still tell the backlog it drains.
    if (m_answerCount < kLatencyFirstAnswers)
        return;
    std::array<std::int64_t, kLatencyAnswers> sorted = m_answers;
    const std::size_t n = std::min(m_answerCount, kLatencyAnswers);
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(sorted.begin(), middle, sorted.begin() + static_cast<std::ptrdiff_t>(n));
    m_latencyMicros.store(*middle, std::memory_order_release);
}

void PulseCapture::Deliver(const void* data, std::size_t bytes)
{
    const int inChannels = std::max(m_streamChannels.load(std::memory_order_relaxed), 1);
    const std::size_t frames = bytes / (2u * static_cast<std::size_t>(inChannels));
    if (frames == 0 || !m_sink)
        return;
    m_frames.fetch_add(frames, std::memory_order_relaxed);
    if (inChannels == m_channels) {
        m_sink(static_cast<const std::uint8_t*>(data), frames * 2u * static_cast<std::size_t>(inChannels));
        return;
    }
    // Mono from the source's channels: the mean of each frame, a block at a time.
    const auto* in = static_cast<const std::int16_t*>(data);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(frames - done, m_mix.size());
        for (std::size_t i = 0; i < n; ++i) {
            std::int32_t sum = 0;
            for (int c = 0; c < inChannels; ++c)
                sum += in[(done + i) * static_cast<std::size_t>(inChannels) + static_cast<std::size_t>(c)];
            m_mix[i] = static_cast<std::int16_t>(sum / inChannels);
        }
        m_sink(reinterpret_cast<const std::uint8_t*>(m_mix.data()), n * 2u);
        done += n;
    }
}

void PulseCapture::OnMoved(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<PulseCapture*>(userdata);
    const std::size_t index = self->m_switchCount.load(std::memory_order_relaxed);
    if (index >= self->m_switches.size())
        return;
    CopyName(self->m_switches[index].name, self->m_stream.Api().pa_stream_get_device_name(stream));
    self->m_switches[index].frames = self->m_frames.load(std::memory_order_relaxed);
    self->m_switchCount.store(index + 1, std::memory_order_release);
}

}  // namespace platform
