#include "platform/UiTicker.h"

#include <utility>

#include <glib.h>
#include <wx/app.h>

namespace platform {

// A GLib timeout of the main context, as wxTimer is on GTK, without wxTimer's wake-up of the
// idle processing after each tick.
struct UiTicker::Impl {
    explicit Impl(Handler h) : handler(std::move(h)) {}
    ~Impl() { Stop(); }

    void Start(int milliseconds)
    {
        Stop();
        source = g_timeout_add(static_cast<guint>(milliseconds > 0 ? milliseconds : 1), &Impl::OnTick, this);
    }
    void Stop()
    {
        if (source != 0)
            g_source_remove(source);
        source = 0;
    }
    bool IsRunning() const { return source != 0; }

    static gboolean OnTick(gpointer data)
    {
        auto* self = static_cast<Impl*>(data);
        const guint ticking = self->source;
        if (self->handler())
            wxWakeUpIdle();
        // A handler that stopped or restarted this ticker has removed this source already.
        return ticking == self->source ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
    }

    Handler handler;
    guint source = 0;
};

UiTicker::UiTicker(Handler handler) : m_impl(std::make_unique<Impl>(std::move(handler))) {}

UiTicker::~UiTicker() = default;

void UiTicker::Start(int milliseconds) { m_impl->Start(milliseconds); }

void UiTicker::Stop() { m_impl->Stop(); }

bool UiTicker::IsRunning() const { return m_impl->IsRunning(); }

}  // namespace platform
