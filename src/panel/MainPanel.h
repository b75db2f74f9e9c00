#pragma once
// The main panel: the frame's only child window, where every command of the program ends up.
// Constructing the object constructs the settings pages, which read their settings; the window
// itself is made by Create, which builds the controls and carries out the start-up action.

#include <wx/window.h>

class CMainPanel : public wxWindow {
public:
    CMainPanel();
    ~CMainPanel() override;

    // Creates the panel window at (0, 0, 314, 152) of parent and runs its creation steps.
    // False when the window could not be created. User-interface thread.
    bool Create(wxWindow* parent);

private:
    int OnCreate();

    wxDECLARE_EVENT_TABLE();
};
