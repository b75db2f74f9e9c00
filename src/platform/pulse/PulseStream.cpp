#include "platform/pulse/PulseStream.h"

#include "platform/pulse/PulseApi.h"
#include "platform/pulse/PulseServer.h"

namespace platform {

void PulseStream::Closer::operator()(pa_stream* stream) const
{
    api->pa_stream_set_state_callback(stream, nullptr, nullptr);
    api->pa_stream_set_read_callback(stream, nullptr, nullptr);
    api->pa_stream_set_write_callback(stream, nullptr, nullptr);
    api->pa_stream_set_moved_callback(stream, nullptr, nullptr);
    api->pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
    switch (api->pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        api->pa_stream_disconnect(stream);
        break;
    case PA_STREAM_CREATING:
        // Kept until the server has made it (Reap); the table lives as long as the process.
        api->pa_stream_set_state_callback(stream, &PulseStream::Reap, const_cast<PulseApi*>(api));
        return;
    default:
        break;
    }
    api->pa_stream_unref(stream);
}

PulseStream::PulseStream() : m_api(&PulseServer::Get().Api()), m_stream(nullptr, Closer{m_api}) {}

PulseStream::~PulseStream() { Close(); }

bool PulseStream::Open(const char* name, const char* role, const pa_sample_spec& spec, bool namedDevice,
                       ReadyHook ready, const Connect& connect)
{
    Close();
    PulseServer& server = PulseServer::Get();
    if (server.Poll() != PulseServer::State::Ready)
        return false;
    m_ready = std::move(ready);
    m_namedDevice = namedDevice;
    m_state.store(PA_STREAM_UNCONNECTED);
    m_wasReady.store(false);
    m_missing.store(false);

    PulseServer::Lock lock;
    pa_context* context = server.Context();
    if (context == nullptr)
        return false;
    pa_proplist* props = m_api->pa_proplist_new();
    m_api->pa_proplist_sets(props, PA_PROP_MEDIA_NAME, name);
    m_api->pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, role);
    m_stream.reset(m_api->pa_stream_new_with_proplist(context, name, &spec, nullptr, props));
    m_api->pa_proplist_free(props);
    if (!m_stream)
        return false;
    m_api->pa_stream_set_state_callback(m_stream.get(), &PulseStream::OnState, this);
    if (!connect(m_stream.get())) {
        m_stream.reset();
        return false;
    }
    return true;
}

PulseStream::Progress PulseStream::Poll() const
{
    if (m_missing.load(std::memory_order_acquire))
        return Progress::SourceMissing;
    switch (static_cast<pa_stream_state_t>(m_state.load(std::memory_order_acquire))) {
    case PA_STREAM_READY:
        return Progress::Ready;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        return Progress::Failed;
    default:
        return m_stream ? Progress::Opening : Progress::Failed;
    }
}

bool PulseStream::Lost() const
{
    if (!WasReady())
        return false;
    const auto state = static_cast<pa_stream_state_t>(m_state.load(std::memory_order_acquire));
    return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
}

void PulseStream::Close()
{
    if (!m_stream)
        return;
    PulseServer::Lock lock;
    m_stream.reset();  // callbacks cleared first; none runs after the lock is released
}

void PulseStream::OnState(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<PulseStream*>(userdata);
    const pa_stream_state_t state = self->m_api->pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        if (self->m_ready)
            self->m_ready(stream);
        self->m_wasReady.store(true, std::memory_order_release);
    } else if (state == PA_STREAM_FAILED && !self->m_wasReady.load(std::memory_order_relaxed) && self->m_namedDevice) {
        // A named device that is not there (or a name the server cannot take).
        const int error = self->m_api->pa_context_errno(self->m_api->pa_stream_get_context(stream));
        if (error == PA_ERR_NOENTITY || error == PA_ERR_INVALID)
            self->m_missing.store(true, std::memory_order_release);
    }
    self->m_state.store(state, std::memory_order_release);
}

void PulseStream::Reap(pa_stream* stream, void* userdata)
{
    const auto* api = static_cast<const PulseApi*>(userdata);
    switch (api->pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        // Made at last: ended now; the server's answer brings TERMINATED here.
        if (api->pa_stream_disconnect(stream) == 0)
            return;
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        break;
    default:
        return;
    }
    api->pa_stream_set_state_callback(stream, nullptr, nullptr);
    api->pa_stream_unref(stream);
}

}  // namespace platform
