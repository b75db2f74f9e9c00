#include "platform/PulsePlayback.h"

// The sound-server client is built where libpulse is (not on Windows).
#ifndef _WIN32

#include "platform/PulseApi.h"

#include <algorithm>
#include <cstdlib>

#include "platform/PulseServer.h"

namespace platform {

namespace {

std::int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::int64_t Nanoseconds(std::chrono::milliseconds ms)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(ms).count();
}

}  // namespace

void PulsePlayback::StreamDeleter::operator()(pa_stream* stream) const
{
    api->pa_stream_set_state_callback(stream, nullptr, nullptr);
    api->pa_stream_set_write_callback(stream, nullptr, nullptr);
    api->pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
    if (api->pa_stream_get_state(stream) != PA_STREAM_UNCONNECTED)
        api->pa_stream_disconnect(stream);
    api->pa_stream_unref(stream);
}

PulsePlayback::PulsePlayback()
    : m_api(&PulseServer::Get().Api()), m_stream(nullptr, StreamDeleter{&PulseServer::Get().Api()})
{
}

PulsePlayback::~PulsePlayback() { Close(); }

bool PulsePlayback::Begin(std::uint32_t rate, int channels, Fill fill)
{
    Close();
    PulseServer& server = PulseServer::Get();
    if (server.Poll() != PulseServer::State::Ready || rate == 0 || channels < 1 || channels > 2)
        return false;
    m_fill = std::move(fill);
    m_rate = rate;
    m_frameBytes = 2u * static_cast<std::size_t>(channels);
    m_state.store(PA_STREAM_UNCONNECTED);
    m_wasReady.store(false);
    m_written.store(0);
    m_heard = 0;
    m_lastRequest.store(Now());
    m_lastAnswer.store(0);
    m_lastAsked = 0;

    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = rate;
    spec.channels = static_cast<std::uint8_t>(channels);
    // About 200 ms queued at the server, output latency included: enough that a busy machine
    // does not leave the output without sound, and what is queued is dropped at a stop, so a
    // stop is heard at once. The position subtracts what is queued, whatever its length.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(rate / 5 * m_frameBytes);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                                      PA_STREAM_AUTO_TIMING_UPDATE);

    PulseServer::Lock lock;
    pa_context* context = server.Context();
    if (context == nullptr)
        return false;
    pa_proplist* props = m_api->pa_proplist_new();
    m_api->pa_proplist_sets(props, PA_PROP_MEDIA_NAME, "Воспроизведение");
    m_api->pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    m_stream.reset(m_api->pa_stream_new_with_proplist(context, "Воспроизведение", &spec, nullptr, props));
    m_api->pa_proplist_free(props);
    if (!m_stream)
        return false;
    m_api->pa_stream_set_state_callback(m_stream.get(), &PulsePlayback::OnState, this);
    m_api->pa_stream_set_write_callback(m_stream.get(), &PulsePlayback::OnWrite, this);
    m_api->pa_stream_set_latency_update_callback(m_stream.get(), &PulsePlayback::OnTiming, this);
    // The default output: PULSE_SINK, read now (libpulse itself reads it only when the
    // connection is made), else the server's default, which the stream then follows.
    const char* device = std::getenv("PULSE_SINK");
    if (device != nullptr && *device == '\0')
        device = nullptr;
    if (m_api->pa_stream_connect_playback(m_stream.get(), device, &attr, flags, nullptr, nullptr) < 0) {
        m_stream.reset();
        return false;
    }
    return true;
}

PulsePlayback::Progress PulsePlayback::Poll() const
{
    switch (static_cast<pa_stream_state_t>(m_state.load(std::memory_order_acquire))) {
    case PA_STREAM_READY:
        return Progress::Playing;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        return Progress::Failed;
    default:
        return m_stream ? Progress::Opening : Progress::Failed;
    }
}

void PulsePlayback::Close()
{
    if (!m_stream)
        return;
    PulseServer::Lock lock;
    m_stream.reset();  // callbacks cleared first; none runs after the lock is released
}

bool PulsePlayback::Lost() const
{
    if (!m_wasReady.load(std::memory_order_acquire))
        return false;
    const auto state = static_cast<pa_stream_state_t>(m_state.load(std::memory_order_acquire));
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        return true;
    const std::int64_t now = Now();
    const std::int64_t request = m_lastRequest.load(std::memory_order_relaxed);
    const std::int64_t answer = std::max(request, m_lastAnswer.load(std::memory_order_relaxed));
    if (now - answer > Nanoseconds(kStallLimit) || now - request > Nanoseconds(kSilenceLimit))
        return true;
    // No sound asked for lately: an output that starts late (it plays what it rendered ahead
    // first) or a server that stopped. A timing request tells them apart: only a running
    // server answers it (OnTiming).
    if (m_stream && now - request > Nanoseconds(kAskAfter) && now - m_lastAsked > Nanoseconds(kAskAfter)) {
        m_lastAsked = now;
        PulseServer::Lock lock;
        if (pa_operation* op = m_api->pa_stream_update_timing_info(m_stream.get(), nullptr, nullptr))
            m_api->pa_operation_unref(op);
    }
    return false;
}

std::int64_t PulsePlayback::Heard() const
{
    if (!m_stream || !m_wasReady.load(std::memory_order_acquire))
        return 0;
    pa_usec_t usec = 0;
    {
        PulseServer::Lock lock;
        // Interpolated from the server's latest timing answer; no wait for a new one. A stream
        // that has failed (the server went away) keeps what was heard before.
        if (m_api->pa_stream_get_time(m_stream.get(), &usec) < 0)
            return m_heard;
    }
    const auto frames = static_cast<std::int64_t>(usec * m_rate / 1000000u);
    m_heard = std::min(frames, m_written.load(std::memory_order_acquire));
    return m_heard;
}

void PulsePlayback::OnState(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<PulsePlayback*>(userdata);
    const pa_stream_state_t state = self->m_api->pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        self->m_lastRequest.store(Now(), std::memory_order_relaxed);
        self->m_wasReady.store(true, std::memory_order_release);
    }
    self->m_state.store(state, std::memory_order_release);
}

void PulsePlayback::OnTiming(pa_stream* /*stream*/, void* userdata)
{
    // Every timing answer, the automatic ones and those Lost asks for.
    static_cast<PulsePlayback*>(userdata)->m_lastAnswer.store(Now(), std::memory_order_relaxed);
}

void PulsePlayback::OnWrite(pa_stream* stream, std::size_t bytes, void* userdata)
{
    auto* self = static_cast<PulsePlayback*>(userdata);
    self->m_lastRequest.store(Now(), std::memory_order_relaxed);
    // Straight into the server's own memory, all that it asks for.
    while (bytes >= self->m_frameBytes) {
        void* data = nullptr;
        std::size_t length = bytes;
        if (self->m_api->pa_stream_begin_write(stream, &data, &length) < 0 || data == nullptr)
            return;
        const std::size_t frames = std::min(length, bytes) / self->m_frameBytes;
        if (frames == 0)
            return;
        const std::int64_t index = self->m_written.load(std::memory_order_relaxed);
        self->m_fill(static_cast<std::int16_t*>(data), frames, index);
        if (self->m_api->pa_stream_write(stream, data, frames * self->m_frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        self->m_written.store(index + static_cast<std::int64_t>(frames), std::memory_order_release);
        bytes -= frames * self->m_frameBytes;
    }
}

}  // namespace platform

#else

namespace platform {

void PulsePlayback::StreamDeleter::operator()(pa_stream*) const {}
PulsePlayback::PulsePlayback() : m_api(nullptr), m_stream(nullptr, StreamDeleter{nullptr}) {}
PulsePlayback::~PulsePlayback() = default;
bool PulsePlayback::Begin(std::uint32_t, int, Fill) { return false; }
PulsePlayback::Progress PulsePlayback::Poll() const { return Progress::Failed; }
void PulsePlayback::Close() {}
bool PulsePlayback::Lost() const { return false; }
std::int64_t PulsePlayback::Heard() const { return 0; }

}  // namespace platform

#endif  // _WIN32
