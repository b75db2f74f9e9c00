#pragma once
// The application object: selects the settings store, creates the main frame and hands control
// to the event loop.

#include <string>
#include <memory>

#include <wx/app.h>

class CShutdownWatch;
class CRemoteControl;
namespace platform {
class CommandBus;
}

class CRecorderApp : public wxApp {
public:
    CRecorderApp();
    ~CRecorderApp() override;

    bool OnInit() override;
    int OnExit() override;

    // Start-up in its fixed order; returns true in every case.
    bool InitInstance();

    // A file named on the command line (full path), opened instead of the start-up action as if
    // it had been chosen in the open dialog. Empty: none. Set by main before the framework starts.
    static void SetStartupFile(const std::string& path);
    // The bus whose name this program owns (commands from other starts come over it); null: none.
    // Set by main before the framework starts.
    static void SetCommandBus(std::unique_ptr<platform::CommandBus> bus);
    // Records once the start-up action is done (--record, --toggle). Set by main.
    static void SetRecordAtStart(bool record);

    // Commands from outside the window; null before the frame exists and after it failed.
    CRemoteControl* RemoteControl() const { return m_remote.get(); }

private:
    void OnAppAbout(wxCommandEvent& event);
    // The session is ending: close as closing the window does, never veto.
    void OnQueryEndSession(wxCloseEvent& event);
    void OnEndSession(wxCloseEvent& event);
    // Runs the event loop here until the main window is gone (at most limitMs): Windows ends the
    // process as soon as WM_ENDSESSION is answered, so the recording must be closed, and its
    // writer waited for, before.
    void FinishCloseNow(int limitMs);

    std::unique_ptr<CShutdownWatch> m_shutdown;
    std::unique_ptr<CRemoteControl> m_remote;

    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(CRecorderApp);
