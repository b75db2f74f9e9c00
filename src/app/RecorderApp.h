#pragma once
// The application object: selects the settings store, creates the main frame and hands control
// to the event loop.

#include <string>
#include <memory>

#include <wx/app.h>

class CShutdownWatch;

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

    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(CRecorderApp);
