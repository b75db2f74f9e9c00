#include "platform/PulseCapture.h"

// The sound-server client is built where libpulse is (not on Windows).
#ifndef _WIN32

#include "platform/PulseApi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/PulseServer.h"

namespace platform {

namespace {

// Mono frames averaged per sink call; the mixing memory is allocated once, at Begin.
constexpr std::size_t kMixFrames = 4096;

}  // namespace

void PulseCapture::StreamDeleter::operator()(pa_stream* stream) const
{
    api->pa_stream_set_state_callback(stream, nullptr, nullptr);
    api->pa_stream_set_read_callback(stream, nullptr, nullptr);
    api->pa_stream_set_overflow_callback(stream, nullptr, nullptr);
    api->pa_stream_set_moved_callback(stream, nullptr, nullptr);
    if (api->pa_stream_get_state(stream) != PA_STREAM_UNCONNECTED)
        api->pa_stream_disconnect(stream);
    api->pa_stream_unref(stream);
}

PulseCapture::PulseCapture()
    : m_api(&PulseServer::Get().Api()), m_stream(nullptr, StreamDeleter{&PulseServer::Get().Api()})
{
}

PulseCapture::~PulseCapture()
{
    Close();
}

void PulseCapture::CopyName(std::array<char, 256>& to, const char* from)
{
    to.fill('\0');
    if (from != nullptr)
        std::strncpy(to.data(), from, to.size() - 1);
}

bool PulseCapture::Begin(std::uint32_t rate, int channels, const std::string& source, Sink sink)
{
    Close();
    PulseServer& server = PulseServer::Get();
    if (server.Poll() != PulseServer::State::Ready || rate == 0 || channels < 1 || channels > 2)
        return false;
    m_sink = std::move(sink);
    m_named = !source.empty();
    m_rate = rate;
    m_channels = channels;
    m_mix.assign(kMixFrames, 0);
    m_state.store(PA_STREAM_UNCONNECTED);
    m_wasReady.store(false);
    m_missing.store(false);
    m_overflows.store(0);
    m_frames.store(0);
    m_switchCount.store(0);
    m_batchBytes = 0;
    CopyName(m_openedOn.name, nullptr);

    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = rate;
    spec.channels = static_cast<std::uint8_t>(channels);
    // For mono the stream takes the source's own channels (FIX_CHANNELS) and Deliver averages
    // them. About 100 ms a fragment, counted for two channels (most sources have two).
    const std::uint32_t frameBytes = 2u * static_cast<std::uint32_t>(std::max(channels, 2));
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(-1);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = rate / 10 * frameBytes;
    int flags = PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY;
    if (channels == 1)
        flags |= PA_STREAM_FIX_CHANNELS;
    if (m_named)
        flags |= PA_STREAM_DONT_MOVE;

    PulseServer::Lock lock;
    pa_context* context = server.Context();
    if (context == nullptr)
        return false;
    pa_proplist* props = m_api->pa_proplist_new();
    m_api->pa_proplist_sets(props, PA_PROP_MEDIA_NAME, "Запись");
    m_api->pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
    m_stream.reset(m_api->pa_stream_new_with_proplist(context, "Запись", &spec, nullptr, props));
    m_api->pa_proplist_free(props);
    if (!m_stream)
        return false;
    m_api->pa_stream_set_state_callback(m_stream.get(), &PulseCapture::OnState, this);
    m_api->pa_stream_set_read_callback(m_stream.get(), &PulseCapture::OnRead, this);
    m_api->pa_stream_set_overflow_callback(m_stream.get(), &PulseCapture::OnOverflow, this);
    m_api->pa_stream_set_moved_callback(m_stream.get(), &PulseCapture::OnMoved, this);
    // The default entry: PULSE_SOURCE, read now (libpulse itself reads it only when the
    // connection is made), else the server's default, which the stream then follows.
    const char* device = m_named ? source.c_str() : std::getenv("PULSE_SOURCE");
    if (device != nullptr && *device == '\0')
        device = nullptr;
    if (m_api->pa_stream_connect_record(m_stream.get(), device, &attr,
                                       static_cast<pa_stream_flags_t>(flags)) < 0) {
        m_stream.reset();
        return false;
    }
    return true;
}

PulseCapture::Progress PulseCapture::Poll() const
{
    if (m_missing.load(std::memory_order_acquire))
        return Progress::SourceMissing;
    switch (static_cast<pa_stream_state_t>(m_state.load(std::memory_order_acquire))) {
    case PA_STREAM_READY:
        return Progress::Open;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        return Progress::Failed;
    default:
        return m_stream ? Progress::Opening : Progress::Failed;
    }
}

bool PulseCapture::Start()
{
    if (!m_stream || Poll() != Progress::Open)
        return false;
    PulseServer::Lock lock;
    pa_operation* op = m_api->pa_stream_cork(m_stream.get(), 0, nullptr, nullptr);
    if (op == nullptr)
        return false;
    m_api->pa_operation_unref(op);
    return true;
}

void PulseCapture::Close()
{
    if (!m_stream)
        return;
    PulseServer::Lock lock;
    m_stream.reset();  // callbacks cleared first; none runs after the lock is released
}

bool PulseCapture::Lost() const
{
    if (!m_wasReady.load(std::memory_order_acquire))
        return false;
    const auto state = static_cast<pa_stream_state_t>(m_state.load(std::memory_order_acquire));
    return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
}

std::string PulseCapture::OpenedOn() const
{
    if (!m_wasReady.load(std::memory_order_acquire))
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

void PulseCapture::OnState(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<PulseCapture*>(userdata);
    const pa_stream_state_t state = self->m_api->pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        if (const pa_sample_spec* spec = self->m_api->pa_stream_get_sample_spec(stream)) {
            self->m_streamChannels.store(spec->channels, std::memory_order_relaxed);
            // Nine tenths of a fragment: a source that posts every few milliseconds is read
            // about ten times a second, one that hands over whole fragments at each one.
            self->m_batchBytes = static_cast<std::size_t>(spec->rate) * 2u * spec->channels * 9u / 100u;
        }
        CopyName(self->m_openedOn.name, self->m_api->pa_stream_get_device_name(stream));
        self->m_wasReady.store(true, std::memory_order_release);
    } else if (state == PA_STREAM_FAILED && !self->m_wasReady.load(std::memory_order_relaxed) && self->m_named) {
        // A named source that is not there (or a name the server cannot take).
        const int error = self->m_api->pa_context_errno(self->m_api->pa_stream_get_context(stream));
        if (error == PA_ERR_NOENTITY || error == PA_ERR_INVALID)
            self->m_missing.store(true, std::memory_order_release);
    }
    self->m_state.store(state, std::memory_order_release);
}

void PulseCapture::OnRead(pa_stream* stream, std::size_t bytes, void* userdata)
{
    auto* self = static_cast<PulseCapture*>(userdata);
    // What is waiting stays with the stream until there is a batch of it; the callback comes
    // again with each arrival.
    if (bytes < self->m_batchBytes)
        return;
    const void* data = nullptr;
    std::size_t length = 0;
    while (self->m_api->pa_stream_peek(stream, &data, &length) == 0 && length > 0) {
        // A hole (no data) is input the server does not have: nothing to copy.
        if (data != nullptr)
            self->Deliver(data, length);
        self->m_api->pa_stream_drop(stream);
    }
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

void PulseCapture::OnOverflow(pa_stream* /*stream*/, void* userdata)
{
    static_cast<PulseCapture*>(userdata)->m_overflows.fetch_add(1, std::memory_order_relaxed);
}

void PulseCapture::OnMoved(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<PulseCapture*>(userdata);
    const std::size_t index = self->m_switchCount.load(std::memory_order_relaxed);
    if (index >= self->m_switches.size())
        return;
    CopyName(self->m_switches[index].name, self->m_api->pa_stream_get_device_name(stream));
    self->m_switches[index].frames = self->m_frames.load(std::memory_order_relaxed);
    self->m_switchCount.store(index + 1, std::memory_order_release);
}

}  // namespace platform

#else

namespace platform {

void PulseCapture::StreamDeleter::operator()(pa_stream*) const {}
PulseCapture::PulseCapture() : m_api(nullptr), m_stream(nullptr, StreamDeleter{nullptr}) {}
PulseCapture::~PulseCapture() = default;
bool PulseCapture::Begin(std::uint32_t, int, const std::string&, Sink) { return false; }
PulseCapture::Progress PulseCapture::Poll() const { return Progress::Failed; }
bool PulseCapture::Start() { return false; }
void PulseCapture::Close() {}
bool PulseCapture::Lost() const { return false; }
std::string PulseCapture::OpenedOn() const { return {}; }
std::vector<PulseCapture::Switch> PulseCapture::Switches() const { return {}; }

}  // namespace platform

#endif  // _WIN32
