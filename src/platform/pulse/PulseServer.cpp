#include "platform/pulse/PulseServer.h"

#include <cstdlib>
#include <cstring>

#include "platform/SteadyClock.h"
#include "platform/UiTrace.h"

#ifndef DR_APP_ID
#define DR_APP_ID "example.dravellin.Recorder"
#endif

namespace platform {

void PulseServer::LoopDeleter::operator()(pa_threaded_mainloop* loop) const
{
    api->pa_threaded_mainloop_stop(loop);
    api->pa_threaded_mainloop_free(loop);
}

void PulseServer::ContextDeleter::operator()(pa_context* context) const
{
    api->pa_context_set_state_callback(context, nullptr, nullptr);
    api->pa_context_set_subscribe_callback(context, nullptr, nullptr);
    api->pa_context_disconnect(context);
    api->pa_context_unref(context);
}

PulseServer& PulseServer::Get()
{
    static PulseServer instance;
    return instance;
}

PulseServer::~PulseServer()
{
    if (!m_loop)
        return;
    {
        Lock lock;
        m_context.reset();
    }
    m_loop.reset();  // stops the loop's thread first
}

PulseServer::Lock::Lock()
{
    PulseServer& server = Get();
    server.m_api.pa_threaded_mainloop_lock(server.m_loop.get());
}

PulseServer::Lock::~Lock()
{
    PulseServer& server = Get();
    server.m_api.pa_threaded_mainloop_unlock(server.m_loop.get());
}

bool PulseServer::Wanted()
{
    // The user's (or a test's) choice of an SDL driver stands: SDL then does all the sound.
    if (std::getenv("SDL_AUDIODRIVER") != nullptr)
        return false;
    UiTrace trace("pulse-load");
    return m_api.Load();
}

void PulseServer::DropContext()
{
    m_context.reset();
}

PulseServer::State PulseServer::Connect()
{
    if (!m_api.Loaded())
        return State::Failed;
    UiTrace trace("pulse-connect");
    Poll();  // an attempt older than the limit is given up, and made again below
    if (!m_loop) {
        m_loop.reset(m_api.pa_threaded_mainloop_new());
        if (!m_loop)
            return State::Failed;
        if (m_api.pa_threaded_mainloop_start(m_loop.get()) < 0) {
            m_api.pa_threaded_mainloop_free(m_loop.release());
            return State::Failed;
        }
    }
    Lock lock;
    const State state = m_state.load(std::memory_order_acquire);
    if (state == State::Ready || state == State::Connecting)
        return state;
    DropContext();
    pa_proplist* props = m_api.pa_proplist_new();
    m_api.pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Dravellin Recorder");
    m_api.pa_proplist_sets(props, PA_PROP_APPLICATION_ID, DR_APP_ID);
    m_api.pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, DR_APP_ID);
    m_context.reset(m_api.pa_context_new_with_proplist(m_api.pa_threaded_mainloop_get_api(m_loop.get()),
                                                       "Dravellin Recorder", props));
    m_api.pa_proplist_free(props);
    if (!m_context) {
        m_state.store(State::Failed, std::memory_order_release);
        return State::Failed;
    }
    ++m_contextGeneration;
    m_api.pa_context_set_state_callback(m_context.get(), &PulseServer::OnContextState, this);
    m_connectStart.store(SteadyClock::Now(), std::memory_order_relaxed);
    m_state.store(State::Connecting, std::memory_order_release);
    // No autospawn: starting a server would fork and wait on this thread. The connect itself
    // does not wait; the answer comes to OnContextState.
    if (m_api.pa_context_connect(m_context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        DropContext();
        m_state.store(State::Failed, std::memory_order_release);
    }
    return m_state.load(std::memory_order_acquire);
}

PulseServer::State PulseServer::Poll()
{
    State state = m_state.load(std::memory_order_acquire);
    if (state != State::Connecting)
        return state;
    const auto waited = std::chrono::nanoseconds(SteadyClock::Now() - m_connectStart.load(std::memory_order_relaxed));
    if (waited < kAnswerLimit)
        return state;
    Lock lock;
    state = m_state.load(std::memory_order_acquire);
    if (state == State::Connecting) {
        DropContext();  // its callback is cleared first: NotAnswering stays
        state = State::NotAnswering;
        m_state.store(state, std::memory_order_release);
    }
    return state;
}

std::uint64_t PulseServer::WatchSources()
{
    if (!Wanted() || Connect() != State::Ready)
        return m_sourcesVersion.load(std::memory_order_acquire);
    Lock lock;
    if (m_context && m_watchedGeneration != m_contextGeneration &&
        m_state.load(std::memory_order_acquire) == State::Ready) {
        m_watchedGeneration = m_contextGeneration;
        // A listing cut off by the old connection's end left its entries behind (libpulse
        // never finishes it): each listing on this connection starts afresh.
        m_buildingSources.clear();
        m_buildingOutputs.clear();
        m_listed.store(false, std::memory_order_release);
        m_api.pa_context_set_subscribe_callback(m_context.get(), &PulseServer::OnSubscription, this);
        const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK |
                                                              PA_SUBSCRIPTION_MASK_SERVER);
        if (pa_operation* op = m_api.pa_context_subscribe(m_context.get(), mask, nullptr, nullptr))
            m_api.pa_operation_unref(op);
        FetchSources();
    }
    return m_sourcesVersion.load(std::memory_order_acquire);
}

void PulseServer::FetchSources()
{
    pa_context* context = m_context.get();
    if (context == nullptr)
        return;
    // Answers come in the order asked; each list is published and begun anew at its end.
    if (pa_operation* op = m_api.pa_context_get_sink_info_list(context, &PulseServer::OnSinkInfo, this))
        m_api.pa_operation_unref(op);
    if (pa_operation* op = m_api.pa_context_get_source_info_list(context, &PulseServer::OnSourceInfo, this))
        m_api.pa_operation_unref(op);
    if (pa_operation* op = m_api.pa_context_get_server_info(context, &PulseServer::OnServerInfo, this))
        m_api.pa_operation_unref(op);
}

void PulseServer::OnSubscription(pa_context* /*context*/, pa_subscription_event_type_t type, std::uint32_t /*index*/,
                                 void* userdata)
{
    auto* self = static_cast<PulseServer*>(userdata);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    // Sources and outputs that come or go, and a new default; not every volume change.
    if (kind != PA_SUBSCRIPTION_EVENT_CHANGE || facility == PA_SUBSCRIPTION_EVENT_SERVER)
        self->FetchSources();
}

void PulseServer::OnSinkInfo(pa_context* /*context*/, const pa_sink_info* info, int eol, void* userdata)
{
    auto* self = static_cast<PulseServer*>(userdata);
    if (eol == 0 && info != nullptr) {
        self->m_buildingOutputs[info->index] = info->description ? info->description : info->name;
        return;
    }
    if (eol < 0) {
        self->m_buildingOutputs.clear();  // the server went away: the list stays as it was
        return;
    }
    {
        std::lock_guard<std::mutex> lock(self->m_listMutex);
        self->m_outputs = self->m_buildingOutputs;
    }
    self->m_buildingOutputs.clear();
    self->m_sourcesVersion.fetch_add(1, std::memory_order_acq_rel);
}

void PulseServer::OnSourceInfo(pa_context* /*context*/, const pa_source_info* info, int eol, void* userdata)
{
    auto* self = static_cast<PulseServer*>(userdata);
    if (eol == 0 && info != nullptr) {
        RawSource raw;
        raw.source.name = info->name ? info->name : "";
        raw.source.description = info->description ? info->description : raw.source.name;
        raw.source.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
        raw.source.rate = info->sample_spec.rate;
        raw.source.channels = info->sample_spec.channels;
        raw.monitorOf = info->monitor_of_sink;
        self->m_buildingSources.push_back(std::move(raw));
        return;
    }
    if (eol < 0) {
        self->m_buildingSources.clear();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(self->m_listMutex);
        self->m_sources = self->m_buildingSources;
    }
    self->m_buildingSources.clear();
    self->m_sourcesVersion.fetch_add(1, std::memory_order_acq_rel);
}

void PulseServer::OnServerInfo(pa_context* /*context*/, const pa_server_info* info, void* userdata)
{
    auto* self = static_cast<PulseServer*>(userdata);
    if (info == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(self->m_listMutex);
        self->m_defaultSource = info->default_source_name ? info->default_source_name : "";
    }
    self->m_sourcesVersion.fetch_add(1, std::memory_order_acq_rel);
    // Asked for after the outputs and the sources, so answered after them too.
    self->m_listed.store(true, std::memory_order_release);
}

std::vector<PulseServer::Source> PulseServer::Sources() const
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    std::vector<Source> sources;
    for (const RawSource& raw : m_sources) {
        Source source = raw.source;
        if (source.monitor) {
            const auto output = m_outputs.find(raw.monitorOf);
            source.output = output != m_outputs.end() ? output->second : source.description;
        }
        sources.push_back(std::move(source));
    }
    return sources;
}

std::string PulseServer::DefaultSource() const
{
    std::lock_guard<std::mutex> lock(m_listMutex);
    return m_defaultSource;
}

void PulseServer::OnServerName(pa_context* /*context*/, const pa_server_info* info, void* userdata)
{
    // PipeWire's server names itself "PulseAudio (on PipeWire x.y.z)".
    if (info != nullptr && info->server_name != nullptr)
        static_cast<PulseServer*>(userdata)->m_pipeWire.store(std::strstr(info->server_name, "PipeWire") != nullptr,
                                                               std::memory_order_release);
}

void PulseServer::OnContextState(pa_context* context, void* userdata)
{
    auto* self = static_cast<PulseServer*>(userdata);
    switch (self->m_api.pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        // Which server it is, asked before anything else on the connection, so answered before
        // any stream is made on it.
        if (pa_operation* op = self->m_api.pa_context_get_server_info(context, &PulseServer::OnServerName, self))
            self->m_api.pa_operation_unref(op);
        self->m_state.store(State::Ready, std::memory_order_release);
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        self->m_state.store(State::Failed, std::memory_order_release);
        break;
    default:
        break;
    }
}

}  // namespace platform
