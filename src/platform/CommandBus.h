#pragma once
// Commands to the program running for this user, and that program's end of them.
//
// On Linux they travel over the login session's bus through GLib's GDBus: the running program
// owns the well-known name "example.dravellin.Recorder" and exports, at
// /example/dravellin/Recorder, the interface of the same name with the methods Record, Stop,
// Toggle, Activate and Open(s), the read-only properties State (s: stopped, recording, playing,
// waiting), Seconds (u), File (s) and Session (s, the login session's id), and org.freedesktop.DBus.Properties.PropertiesChanged when
// State or File change. The bus keeps other users' and other sessions' programs apart. The bus is
// found from DBUS_SESSION_BUS_ADDRESS or $XDG_RUNTIME_DIR/bus only: no bus is ever launched.
// On Windows the same travels as WM_COPYDATA between message-only windows of our own classes
// (see windows/CommandBus.cpp), kept apart per login session by the Local namespace.
//
// Thread: the thread that makes the object (the user-interface thread in the program, main's
// thread before the toolkit starts). Calls to the running program are answered on the main loop
// of that thread (GLib's default context, which the toolkit runs).

#include <functional>
#include <memory>
#include <string>

namespace platform {

enum class RemoteCommand { Record, Stop, Toggle, Activate, Open };

// What --status prints and the State, Seconds and File properties carry.
struct RemoteState {
    std::string state = "stopped";  // stopped, recording, playing or waiting
    unsigned seconds = 0;           // elapsed while recording, the position while playing
    std::string file;               // the current file's full path; empty: none
    std::string session;            // the login session it runs in (XDG_SESSION_ID; may be empty)
    bool operator==(const RemoteState&) const = default;
};

// The answer a command got from the running program.
struct CommandOutcome {
    enum class Kind {
        Done,        // carried out
        Refused,     // the program could not; text says why
        NoAnswer,    // no answer in time
        NotRunning,  // no program owns the name
    };
    Kind kind = Kind::NotRunning;
    std::string text;
    RemoteState state;  // Query's answer
};

class CommandBus {
public:
    // One command the running program received. Answered once: Done or Refuse; one dropped
    // unanswered is refused with "the program is closing".
    class Call {
    public:
        explicit Call(void* invocation);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        void Done();
        // busy: the program could not because a dialog is open (its own error name).
        void Refuse(const std::string& reason, bool busy = false);

    private:
        void* m_invocation;  // GDBusMethodInvocation, owned until answered
    };
    using Handler = std::function<void(RemoteCommand command, const std::string& argument,
                                       std::shared_ptr<Call> call)>;
    using StateSource = std::function<RemoteState()>;

    // The login session's bus; null when there is none.
    static std::unique_ptr<CommandBus> Connect();
    // The bus at a D-Bus address; null when it cannot be reached.
    static std::unique_ptr<CommandBus> ConnectTo(const std::string& address);
    ~CommandBus();
    CommandBus(const CommandBus&) = delete;
    CommandBus& operator=(const CommandBus&) = delete;

    // Exports the object and asks for the name. True when this process owns it now; false when
    // another does (or the bus refused). Calls that come before Serve wait for it, in order.
    bool Claim();
    // The running program's end: hands it every call, in the order they came, and answers the
    // properties from state. Calls held since Claim are handed over at once.
    void Serve(Handler handler, StateSource state);
    // Emits PropertiesChanged when State or File differ from the last emitted.
    void StateChanged();
    // Gives the name up and withdraws the object (the program is closing): a later start runs
    // on its own instead of handing over to a closing window.
    void Withdraw();

    // A command to the program that owns the name, waiting at most timeoutMs for its answer.
    CommandOutcome Send(RemoteCommand command, const std::string& argument, int timeoutMs);
    // Its state (State, Seconds, File, Session).
    CommandOutcome Query(int timeoutMs);

    // This process's login session (XDG_SESSION_ID; empty when unknown).
    static std::string OwnSession();

    struct Impl;

private:
    explicit CommandBus(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
