#include "panel/MainPanel.h"

#include <wx/settings.h>

wxBEGIN_EVENT_TABLE(CMainPanel, wxWindow)
wxEND_EVENT_TABLE()

CMainPanel::CMainPanel() = default;

CMainPanel::~CMainPanel() = default;

bool CMainPanel::Create(wxWindow* parent)
{
    if (!wxWindow::Create(parent, wxID_ANY, wxPoint(0, 0), wxSize(314, 152), wxWANTS_CHARS))
        return false;
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_MENU));
    return OnCreate() == 0;
}

int CMainPanel::OnCreate() { return 0; }
