#include "platform/pulse/PulsePlayback.h"

#include <algorithm>
#include <cstdlib>

#include "platform/pulse/PulseApi.h"
#include "platform/pulse/PulseServer.h"
#include "platform/SteadyClock.h"

namespace platform {

PulsePlayback::PulsePlayback() = default;

PulsePlayback::~PulsePlayback() { Close(); }

bool PulsePlayback::Begin(std::uint32_t rate, int channels, Fill fill)
{
    Close();
    if (rate == 0 || channels < 1 || channels > 2)
        return false;
    m_fill = std::move(fill);
    m_rate = rate;
    m_frameBytes = 2u * static_cast<std::size_t>(channels);
    m_written.store(0);
    m_heard = 0;
    m_lastRequest.store(SteadyClock::Now());
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

    // The default output: PULSE_SINK, read now (libpulse itself reads it only when the
    // connection is made), else the server's default, which the stream then follows.
    const char* device = std::getenv("PULSE_SINK");
    if (device != nullptr && *device == '\0')
        device = nullptr;
    const PulseApi& api = m_stream.Api();
    const auto ready = [this](pa_stream*) { m_lastRequest.store(SteadyClock::Now(), std::memory_order_relaxed); };
    return m_stream.Open("Воспроизведение", "music", spec, false, ready, [&](pa_stream* stream) {
        api.pa_stream_set_write_callback(stream, &PulsePlayback::OnWrite, this);
        api.pa_stream_set_latency_update_callback(stream, &PulsePlayback::OnTiming, this);
        return api.pa_stream_connect_playback(stream, device, &attr, flags, nullptr, nullptr) >= 0;
    });
}

bool PulsePlayback::Lost() const
{
    if (!m_stream.WasReady())
        return false;
    if (m_stream.Lost())
        return true;
    const std::int64_t now = SteadyClock::Now();
    const std::int64_t request = m_lastRequest.load(std::memory_order_relaxed);
    const std::int64_t answer = std::max(request, m_lastAnswer.load(std::memory_order_relaxed));
    if (now - answer > SteadyClock::Nanos(kStallLimit) || now - request > SteadyClock::Nanos(kSilenceLimit))
        return true;
    // No sound asked for lately: an output that starts late (it plays what it rendered ahead
    // first) or a server that stopped. A timing request tells them apart: only a running
    // server answers it (OnTiming).
    pa_stream* stream = m_stream.Get();
    if (stream != nullptr && now - request > SteadyClock::Nanos(kAskAfter) && now - m_lastAsked > SteadyClock::Nanos(kAskAfter)) {
        m_lastAsked = now;
        PulseServer::Lock lock;
        if (pa_operation* op = m_stream.Api().pa_stream_update_timing_info(stream, nullptr, nullptr))
            m_stream.Api().pa_operation_unref(op);
    }
    return false;
}

std::int64_t PulsePlayback::Heard() const
{
    pa_stream* stream = m_stream.Get();
    if (stream == nullptr || !m_stream.WasReady())
        return 0;
    pa_usec_t usec = 0;
    {
        PulseServer::Lock lock;
        // Interpolated from the server's latest timing answer; no wait for a new one. A stream
        // that has failed (the server went away) keeps what was heard before.
        if (m_stream.Api().pa_stream_get_time(stream, &usec) < 0)
            return m_heard;
    }
    const auto frames = static_cast<std::int64_t>(usec * m_rate / 1000000u);
    m_heard = std::min(frames, m_written.load(std::memory_order_acquire));
    return m_heard;
}

void PulsePlayback::OnTiming(pa_stream* /*stream*/, void* userdata)
{
    // Every timing answer, the automatic ones and those Lost asks for.
    static_cast<PulsePlayback*>(userdata)->m_lastAnswer.store(SteadyClock::Now(), std::memory_order_relaxed);
}

void PulsePlayback::OnWrite(pa_stream* stream, std::size_t bytes, void* userdata)
{
    auto* self = static_cast<PulsePlayback*>(userdata);
    const PulseApi& api = self->m_stream.Api();
    self->m_lastRequest.store(SteadyClock::Now(), std::memory_order_relaxed);
    // Straight into the server's own memory, all that it asks for.
    while (bytes >= self->m_frameBytes) {
        void* data = nullptr;
        std::size_t length = bytes;
        if (api.pa_stream_begin_write(stream, &data, &length) < 0 || data == nullptr)
            return;
        const std::size_t frames = std::min(length, bytes) / self->m_frameBytes;
        if (frames == 0)
            return;
        const std::int64_t index = self->m_written.load(std::memory_order_relaxed);
        self->m_fill(static_cast<std::int16_t*>(data), frames, index);
        if (api.pa_stream_write(stream, data, frames * self->m_frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        self->m_written.store(index + static_cast<std::int64_t>(frames), std::memory_order_release);
        bytes -= frames * self->m_frameBytes;
    }
}

}  // namespace platform
