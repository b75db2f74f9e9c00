#pragma once
// Carries out the commands that come from outside the window (the command bus, the notification
// area's menu, the record command of the start), one at a time in the order they came, each
// through the same path as the key in the window: Enter for Record, Stop and Toggle, Space to
// stop playing. A command that the key would not carry out is refused with the reason: a modal
// dialog is open ("busy: a dialog is open"), there is no current file, or the message the window
// shows. Messages a command causes are shown once it has been answered, so an answer never waits
// for the user to close a message box.
//
// It also follows the transport's state (stopped, recording, playing, waiting) for the bus's
// State property and the notification area's icon.
//
// User-interface thread only.

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <wx/event.h>
#include <wx/timer.h>

#include "platform/CommandBus.h"
#include "platform/GlobalHotkey.h"
#include "platform/MessageBox.h"

class CMainFrame;
class CTrayIcon;

class CRemoteControl : public wxEvtHandler {
public:
    // bus: the bus whose name this program owns; null when it has none.
    CRemoteControl(CMainFrame* frame, std::unique_ptr<platform::CommandBus> bus);
    ~CRemoteControl() override;

    // Starts taking commands; with recordFirst, records before any other command (the start-up
    // action has been carried out by then). The notification area's icon, when wanted, is
    // added from the main loop just after.
    void Start(bool recordFirst);

    // A command from inside the program (the notification area's menu): carried out in turn,
    // its refusal shown as the window would show it.
    void Post(platform::RemoteCommand command);

    // The transport's state now.
    platform::RemoteState State() const;

    // Shows the notification area's icon when the setting and the desktop allow (again after
    // the settings were saved); hides it otherwise.
    void UpdateTrayIcon();
    CTrayIcon* TrayIcon() const { return m_tray.get(); }

    // Takes the key combination of "[Common] Hotkey" (where the platform has global keys), whose
    // press toggles recording as --toggle does. With tell, a combination another program holds
    // is said in a message (the settings were just saved); the setting is kept either way.
    void UpdateHotkey(bool tell);

    // Shows and raises the window; or hides it (the notification area's icon, which alone calls
    // ToggleWindow, brings it back).
    void ShowWindow();
    void ToggleWindow();

private:
    struct Pending {
        platform::RemoteCommand command;
        std::string argument;
        std::shared_ptr<platform::CommandBus::Call> call;  // null: from inside the program
        bool fromBus;
        bool busy = false;           // a modal dialog was open: nothing was done
        bool wantRecording = false;  // Record, Stop, Toggle: recording afterwards, or stopped
    };
    void Enqueue(Pending pending);
    void RunNext();
    // Carries out the command at the front of the queue; false while it waits for the sound input.
    bool Execute(Pending& pending);
    // Judges the command at the front once its effect is known and answers it.
    void Finish(Pending& pending);
    void Answer(Pending& pending, const std::string& refusal, bool busy);
    void OnWatchTick(wxTimerEvent& event);
    void OnStartTick(wxTimerEvent& event);
    void OnFrameClose(wxCloseEvent& event);
    void OnFrameIconize(wxIconizeEvent& event);
    void Notify();
    void StopCapturing();
    bool IsRecording() const;
    bool IsPlaying() const;

    CMainFrame* m_frame;
    std::unique_ptr<platform::CommandBus> m_bus;
    std::unique_ptr<CTrayIcon> m_tray;
    platform::GlobalHotkey m_hotkey;
    std::string m_hotkeyTried;  // the setting last taken or tried: a refusal is told once
    std::deque<Pending> m_queue;
    bool m_running = false;  // a command at the front is being carried out
    // Messages shown while a command is carried out, shown again once it is answered.
    std::vector<std::pair<std::string, platform::MessageIcon>> m_messages;
    platform::MessageSink m_previousSink;
    bool m_capturing = false;
    wxTimer m_watchTimer;
    wxTimer m_startTimer;  // follows a recording's input while it opens
    int m_startPolls = 0;
};
