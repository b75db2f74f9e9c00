#include "platform/LoginSleepInhibitor.h"

#include <cstdio>
#include <string>

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include "platform/UniqueFd.h"

namespace platform {

namespace {

constexpr int kCallTimeoutMs = 5000;

void Tell(const char* what, const GError* error)
{
    std::fprintf(stderr, "dravellin-recorder: the computer may sleep while recording: %s%s%s\n", what,
                 error ? ": " : "", error ? error->message : "");
}

}  // namespace

// Lives as long as the Hold it stands for, or as long as an answer to it is still to come.
struct LoginSleepInhibitor::Request {
    bool wanted = true;  // false once released: an answer that comes later is let go at once
    UniqueFd lock;       // the login manager's lock, held while open
};

namespace {

using Request = LoginSleepInhibitor::Request;

// Owns one reference to the request while GDBus holds the pointer.
std::shared_ptr<Request>* Share(const std::shared_ptr<Request>& request)
{
    return new std::shared_ptr<Request>(request);
}

void OnInhibited(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<std::shared_ptr<Request>> request(static_cast<std::shared_ptr<Request>*>(data));
    GError* error = nullptr;
    GUnixFDList* fds = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_finish(G_DBUS_CONNECTION(source), &fds, result, &error);
    UniqueFd lock;
    if (reply != nullptr) {
        gint32 index = -1;
        g_variant_get(reply, "(h)", &index);
        if (fds != nullptr && index >= 0 && index < g_unix_fd_list_get_length(fds))
            lock.Reset(g_unix_fd_list_get(fds, index, &error));  // a duplicate; the list closes its own
        g_variant_unref(reply);
    }
    if (fds != nullptr)
        g_object_unref(fds);
    if (!lock.Valid())
        Tell("the login manager refused", error);
    else if ((*request)->wanted)
        (*request)->lock = std::move(lock);
    // else: released meanwhile; the lock closes here
    if (error != nullptr)
        g_error_free(error);
}

void OnBus(GObject*, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<std::shared_ptr<Request>> request(static_cast<std::shared_ptr<Request>*>(data));
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_finish(result, &error);
    if (bus == nullptr) {
        Tell("no system bus", error);
        if (error != nullptr)
            g_error_free(error);
        return;
    }
    if ((*request)->wanted)
        g_dbus_connection_call_with_unix_fd_list(
            bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
            "Inhibit", g_variant_new("(ssss)", "sleep:idle", "Dravellin Recorder", "Идёт запись", "block"),
            G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr, OnInhibited,
            Share(*request));
    g_object_unref(bus);
}

}  // namespace

LoginSleepInhibitor::LoginSleepInhibitor() = default;

LoginSleepInhibitor::~LoginSleepInhibitor()
{
    Release();
}

void LoginSleepInhibitor::Hold()
{
    if (m_request)
        return;
    m_request = std::make_shared<Request>();
    g_bus_get(G_BUS_TYPE_SYSTEM, nullptr, OnBus, Share(m_request));
}

void LoginSleepInhibitor::Release()
{
    if (!m_request)
        return;
    m_request->wanted = false;
    m_request->lock.Reset();
    m_request.reset();
}

}  // namespace platform
