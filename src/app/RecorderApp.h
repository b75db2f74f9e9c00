#pragma once
// The application object: selects the settings store, creates the main frame and hands control
// to the event loop.

#include <wx/app.h>

class CRecorderApp : public wxApp {
public:
    bool OnInit() override;

    // Start-up in its fixed order; returns true in every case.
    bool InitInstance();

private:
    void OnAppAbout(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(CRecorderApp);
