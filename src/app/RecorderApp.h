#pragma once
// The application object: selects the settings store, creates the main frame and hands control
// to the event loop.

#include <string>

#include <wx/app.h>

class CRecorderApp : public wxApp {
public:
    bool OnInit() override;

    // Start-up in its fixed order; returns true in every case.
    bool InitInstance();

    // A file named on the command line (full path), opened instead of the start-up action as if
    // it had been chosen in the open dialog. Empty: none. Set by main before the framework starts.
    static void SetStartupFile(const std::string& path);

private:
    void OnAppAbout(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(CRecorderApp);
