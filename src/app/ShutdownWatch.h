#pragma once
// Ends the program the way closing its window does when the system asks it to: on SIGTERM,
// SIGINT or SIGHUP (read from platform::SignalPipe when its pipe turns readable, so an idle
// program is never woken to look; where there is no pipe to watch, every 100 ms) and on the
// toolkit's end-of-session event. Modal dialogs that are open are ended first (their nested
// loops must return before the window can go); then the main window gets one ordinary close,
// which stops a recording with everything captured written, saves the position unless
// minimised and leaves the settings whole. Later requests change nothing: the program closes
// once.
//
// Thread: user-interface thread only.

#include <vector>

#include <wx/modalhook.h>
#include <wx/timer.h>

class wxDialog;

class CShutdownWatch : public wxEvtHandler, private wxModalDialogHook {
public:
    CShutdownWatch();
    ~CShutdownWatch() override;
    CShutdownWatch(const CShutdownWatch&) = delete;
    CShutdownWatch& operator=(const CShutdownWatch&) = delete;

    // Asks for the close; it happens at once when no modal dialog is open, otherwise as soon
    // as the dialogs have returned.
    void RequestClose();
    bool CloseRequested() const { return m_requested; }

private:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;
    void OnTimer(wxTimerEvent& event);
    // Takes a pending signal, then goes as far towards the close as it can now.
    void Check();
    void Proceed();
    // Runs the 100 ms timer while it is needed: always without a pipe watch, otherwise only
    // while a requested close still waits (for dialogs to return or the window to exist).
    void UpdateTimer();
    void EndModalDialogs();

    wxTimer m_timer;
    std::vector<wxDialog*> m_modal;  // open modal dialogs, innermost last
    bool m_requested = false;
    bool m_closed = false;
    unsigned m_watch = 0;  // the main loop's watch on the signal pipe, 0 without one
};
