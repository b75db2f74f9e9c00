#include "platform/CommandBus.h"

#include <deque>
#include <filesystem>
#include <system_error>
#include <tuple>

#include <gio/gio.h>

#ifndef DR_APP_ID
#define DR_APP_ID "example.dravellin.Recorder"
#endif

namespace platform {
namespace {

constexpr const char* kName = DR_APP_ID;
constexpr const char* kInterface = DR_APP_ID;
constexpr const char* kPath = "/example/dravellin/Recorder";
constexpr const char* kBusyError = DR_APP_ID ".Error.Busy";
constexpr const char* kRefusedError = DR_APP_ID ".Error.NotPossible";

constexpr const char* kIntrospection =
    "<node>"
    " <interface name='" DR_APP_ID "'>"
    "  <method name='Record'/>"
    "  <method name='Stop'/>"
    "  <method name='Toggle'/>"
    "  <method name='Activate'/>"
    "  <method name='Open'><arg name='path' type='s' direction='in'/></method>"
    "  <property name='State' type='s' access='read'/>"
    "  <property name='Seconds' type='u' access='read'>"
    "   <annotation name='org.freedesktop.DBus.Property.EmitsChangedSignal' value='false'/>"
    "  </property>"
    "  <property name='File' type='s' access='read'/>"
    "  <property name='Session' type='s' access='read'>"
    "   <annotation name='org.freedesktop.DBus.Property.EmitsChangedSignal' value='const'/>"
    "  </property>"
    " </interface>"
    "</node>";

struct ErrorGuard {
    GError* error = nullptr;
    ~ErrorGuard()
    {
        if (error != nullptr)
            g_error_free(error);
    }
};

// The login session's bus address, as GLib would find it, but never launching a bus.
std::string SessionBusAddress()
{
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0')
        return address;
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0')
        return {};
    const std::filesystem::path socket = std::filesystem::path(runtime) / "bus";
    std::error_code ec;
    if (!std::filesystem::is_socket(socket, ec))
        return {};
    gchar* escaped = g_dbus_address_escape_value(socket.c_str());
    std::string result = std::string("unix:path=") + escaped;
    g_free(escaped);
    return result;
}

const char* CommandMethod(RemoteCommand command)
{
    switch (command) {
    case RemoteCommand::Record: return "Record";
    case RemoteCommand::Stop: return "Stop";
    case RemoteCommand::Toggle: return "Toggle";
    case RemoteCommand::Activate: return "Activate";
    case RemoteCommand::Open: return "Open";
    }
    return "Activate";
}

// A failed call's outcome: no owner, no answer, or the program's own reason.
CommandOutcome OutcomeOf(GError* error)
{
    CommandOutcome outcome;
    if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD)) {
        outcome.kind = CommandOutcome::Kind::NotRunning;
        outcome.text = "not running";
    } else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
               g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT) ||
               g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY)) {
        outcome.kind = CommandOutcome::Kind::NoAnswer;
        outcome.text = "no answer";
    } else if (g_dbus_error_is_remote_error(error)) {
        gchar* remote = g_dbus_error_get_remote_error(error);
        const bool ours = remote != nullptr && (std::string(remote) == kBusyError || std::string(remote) == kRefusedError);
        g_free(remote);
        g_dbus_error_strip_remote_error(error);
        outcome.kind = ours ? CommandOutcome::Kind::Refused : CommandOutcome::Kind::NoAnswer;
        outcome.text = ours ? error->message : std::string("no answer: ") + error->message;
    } else {
        outcome.kind = CommandOutcome::Kind::NoAnswer;
        outcome.text = std::string("no answer: ") + (error != nullptr ? error->message : "");
    }
    return outcome;
}

}  // namespace

struct CommandBus::Impl {
    GDBusConnection* connection = nullptr;
    guint registration = 0;
    bool owner = false;
    Handler handler;
    StateSource state;
    // Calls that came before Serve, in order.
    std::deque<std::tuple<RemoteCommand, std::string, std::shared_ptr<Call>>> held;
    RemoteState emitted;

    RemoteState Current() const { return state ? state() : RemoteState{}; }

    static void OnMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                         GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
    {
        auto* self = static_cast<Impl*>(data);
        const std::string name = method;
        RemoteCommand command = RemoteCommand::Activate;
        std::string argument;
        if (name == "Record")
            command = RemoteCommand::Record;
        else if (name == "Stop")
            command = RemoteCommand::Stop;
        else if (name == "Toggle")
            command = RemoteCommand::Toggle;
        else if (name == "Open") {
            command = RemoteCommand::Open;
            const gchar* path = nullptr;
            g_variant_get(parameters, "(&s)", &path);
            argument = path != nullptr ? path : "";
        }
        auto call = std::make_shared<Call>(invocation);
        if (self->handler)
            self->handler(command, argument, std::move(call));
        else
            self->held.emplace_back(command, std::move(argument), std::move(call));
    }

    static GVariant* OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                                   GError**, gpointer data)
    {
        const RemoteState current = static_cast<Impl*>(data)->Current();
        const std::string name = property;
        if (name == "State")
            return g_variant_new_string(current.state.c_str());
        if (name == "Seconds")
            return g_variant_new_uint32(current.seconds);
        if (name == "Session")
            return g_variant_new_string(OwnSession().c_str());
        return g_variant_new_string(current.file.c_str());
    }

    void Unregister()
    {
        if (registration != 0)
            g_dbus_connection_unregister_object(connection, registration);
        registration = 0;
        if (owner) {
            GVariant* reply = g_dbus_connection_call_sync(
                connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReleaseName",
                g_variant_new("(s)", kName), nullptr, G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
            if (reply != nullptr)
                g_variant_unref(reply);
            owner = false;
        }
    }
};

CommandBus::Call::Call(void* invocation) : m_invocation(invocation) {}

CommandBus::Call::~Call()
{
    if (m_invocation != nullptr)
        Refuse("the program is closing");
}

void CommandBus::Call::Done()
{
    if (m_invocation == nullptr)
        return;
    g_dbus_method_invocation_return_value(static_cast<GDBusMethodInvocation*>(m_invocation), nullptr);
    m_invocation = nullptr;
}

void CommandBus::Call::Refuse(const std::string& reason, bool busy)
{
    if (m_invocation == nullptr)
        return;
    g_dbus_method_invocation_return_dbus_error(static_cast<GDBusMethodInvocation*>(m_invocation),
                                               busy ? kBusyError : kRefusedError, reason.c_str());
    m_invocation = nullptr;
}

std::string CommandBus::OwnSession()
{
    const char* session = g_getenv("XDG_SESSION_ID");
    return session != nullptr ? session : "";
}

CommandBus::CommandBus(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

CommandBus::~CommandBus()
{
    m_impl->held.clear();  // answered as refused while the connection is still there
    m_impl->Unregister();
    g_dbus_connection_flush_sync(m_impl->connection, nullptr, nullptr);
    g_object_unref(m_impl->connection);
}

std::unique_ptr<CommandBus> CommandBus::Connect()
{
    const std::string address = SessionBusAddress();
    return address.empty() ? nullptr : ConnectTo(address);
}

std::unique_ptr<CommandBus> CommandBus::ConnectTo(const std::string& address)
{
    ErrorGuard error;
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error.error);
    if (connection == nullptr)
        return nullptr;
    // A bus that goes away ends our commands, never the program.
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    auto impl = std::make_unique<Impl>();
    impl->connection = connection;
    return std::unique_ptr<CommandBus>(new CommandBus(std::move(impl)));
}

bool CommandBus::Claim()
{
    Impl& impl = *m_impl;
    if (impl.registration == 0) {
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
        static const GDBusInterfaceVTable vtable = {&Impl::OnMethod, &Impl::OnGetProperty, nullptr, {}};
        impl.registration = g_dbus_connection_register_object(impl.connection, kPath, node->interfaces[0], &vtable,
                                                              &impl, nullptr, nullptr);
        g_dbus_node_info_unref(node);
    }
    ErrorGuard error;
    GVariant* reply = g_dbus_connection_call_sync(
        impl.connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", kName, 4u /* DBUS_NAME_FLAG_DO_NOT_QUEUE */), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error.error);
    guint32 result = 0;
    if (reply != nullptr) {
        g_variant_get(reply, "(u)", &result);
        g_variant_unref(reply);
    }
    // 1: the primary owner now; 4: already it.
    impl.owner = result == 1 || result == 4;
    if (!impl.owner && impl.registration != 0) {
        g_dbus_connection_unregister_object(impl.connection, impl.registration);
        impl.registration = 0;
    }
    return impl.owner;
}

void CommandBus::Serve(Handler handler, StateSource state)
{
    m_impl->handler = std::move(handler);
    m_impl->state = std::move(state);
    m_impl->emitted = m_impl->Current();
    while (!m_impl->held.empty() && m_impl->handler) {
        auto [command, argument, call] = std::move(m_impl->held.front());
        m_impl->held.pop_front();
        m_impl->handler(command, argument, std::move(call));
    }
}

void CommandBus::StateChanged()
{
    Impl& impl = *m_impl;
    if (impl.registration == 0)
        return;
    const RemoteState current = impl.Current();
    if (current.state == impl.emitted.state && current.file == impl.emitted.file)
        return;
    impl.emitted = current;
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&changed, "{sv}", "State", g_variant_new_string(current.state.c_str()));
    g_variant_builder_add(&changed, "{sv}", "Seconds", g_variant_new_uint32(current.seconds));
    g_variant_builder_add(&changed, "{sv}", "File", g_variant_new_string(current.file.c_str()));
    g_dbus_connection_emit_signal(impl.connection, nullptr, kPath, "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged", g_variant_new("(sa{sv}as)", kInterface, &changed, nullptr),
                                  nullptr);
}

void CommandBus::Withdraw()
{
    m_impl->handler = nullptr;
    m_impl->held.clear();
    m_impl->Unregister();
}

CommandOutcome CommandBus::Send(RemoteCommand command, const std::string& argument, int timeoutMs)
{
    ErrorGuard error;
    GVariant* parameters = command == RemoteCommand::Open ? g_variant_new("(s)", argument.c_str()) : nullptr;
    GVariant* reply = g_dbus_connection_call_sync(m_impl->connection, kName, kPath, kInterface, CommandMethod(command),
                                                  parameters, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs,
                                                  nullptr, &error.error);
    if (reply == nullptr)
        return OutcomeOf(error.error);
    g_variant_unref(reply);
    CommandOutcome outcome;
    outcome.kind = CommandOutcome::Kind::Done;
    return outcome;
}

CommandOutcome CommandBus::Query(int timeoutMs)
{
    ErrorGuard error;
    GVariant* reply = g_dbus_connection_call_sync(
        m_impl->connection, kName, kPath, "org.freedesktop.DBus.Properties", "GetAll", g_variant_new("(s)", kInterface),
        G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &error.error);
    if (reply == nullptr)
        return OutcomeOf(error.error);
    CommandOutcome outcome;
    outcome.kind = CommandOutcome::Kind::Done;
    GVariant* properties = g_variant_get_child_value(reply, 0);
    const gchar* text = nullptr;
    if (g_variant_lookup(properties, "State", "&s", &text))
        outcome.state.state = text;
    if (g_variant_lookup(properties, "File", "&s", &text))
        outcome.state.file = text;
    if (g_variant_lookup(properties, "Session", "&s", &text))
        outcome.state.session = text;
    guint32 seconds = 0;
    if (g_variant_lookup(properties, "Seconds", "u", &seconds))
        outcome.state.seconds = seconds;
    g_variant_unref(properties);
    g_variant_unref(reply);
    return outcome;
}

}  // namespace platform
