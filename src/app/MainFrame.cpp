#include "app/MainFrame.h"

#include <wx/menu.h>
#include <wx/settings.h>

#include "panel/MainPanel.h"
#include "panel/WindowTitle.h"
#include "platform/MenuAccelerators.h"
#include "platform/ProfileKeys.h"
#include "platform/ProgramIcons.h"
#include "res/MainMenu.h"
#include "res/ProgramIcon.h"
#include "res/ResourceIds.h"

wxBEGIN_EVENT_TABLE(CMainFrame, wxFrame)
    EVT_SET_FOCUS(CMainFrame::OnSetFocus)
    EVT_ACTIVATE(CMainFrame::OnActivate)
    EVT_CLOSE(CMainFrame::OnClose)
    EVT_MENU(res::ID_APP_EXIT, CMainFrame::OnExit)
wxEND_EVENT_TABLE()

CMainFrame::CMainFrame() : m_pendingPanel(std::make_unique<CMainPanel>()), m_panel(m_pendingPanel.get()) {}

CMainFrame::~CMainFrame() = default;

long CMainFrame::PreCreateWindow() const
{
    // A caption, a system menu and a minimise box; no sizing border and no maximise box.
    return wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX;
}

bool CMainFrame::LoadFrame(int resourceId)
{
    if (resourceId != res::IDR_MAINFRAME)
        return false;
    if (!Create(nullptr, wxID_ANY, WindowTitleText(), wxDefaultPosition, wxDefaultSize,
                PreCreateWindow()))
        return false;
    // The frame's client area is repainted under every control that redraws; with a font and
    // text colour of its own each repaint skips the GTK theme look-ups (see CMainPanel::Create).
    SetOwnFont(*wxNORMAL_FONT);
    SetOwnForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
    SetOwnBackgroundColour(GetBackgroundColour());  // the theme's, looked up once
    wxIconBundle icons;
    if (!platform::LoadProgramIcons(icons))
        icons = res::ProgramIconBundle();
    SetIcons(icons);
    SetMenuBar(res::CreateMainMenuBar());
    platform::DetachMenuAccelerators(this);
    SetAcceleratorTable(res::CreateMainAccelerators());
    if (OnCreate() != 0) {
        Destroy();
        return false;
    }
    return true;
}

int CMainFrame::OnCreate()
{
    SetClientSize(kClientWidth, kClientHeight);
    const wxSize size = GetSize();
    SetSizeHints(size, size);

    // The panel's own creation builds its controls, applies "AlwaysOnTop" and carries out the
    // start-up action, which may load a file and set the title text.
    if (!m_panel->Create(this))
        return -1;
    m_pendingPanel.release();

    const int x = platform::ReadSetting(platform::kXScreen);
    const int y = platform::ReadSetting(platform::kYScreen);
    const int minimized = platform::ReadSetting(platform::kMinimized);

    // Exactly the stored position, with no adjustment to the screen.
    Move(x, y, wxSIZE_ALLOW_MINUS_ONE);
    Raise();
    if (minimized != 0)
        Iconize(true);
    Show(true);
    SetTitle(wxString::FromUTF8(WindowTitleText()));
    if (minimized == 0)
        m_panel->SetFocus();
    return 0;
}

void CMainFrame::SetFocus()
{
    if (PanelReady())
        m_panel->SetFocus();
    else
        wxFrame::SetFocus();
}

void CMainFrame::OnSetFocus(wxFocusEvent&)
{
    if (PanelReady())
        m_panel->SetFocus();
}

void CMainFrame::OnActivate(wxActivateEvent& event)
{
    if (event.GetActive() && PanelReady() && !IsIconized())
        m_panel->SetFocus();
    event.Skip();
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
    // The position is saved only when the window is not minimised, so the next start uses the
    // place it had before it was minimised.
    if (!IsIconized()) {
        const wxPoint position = GetPosition();
        platform::WriteSetting(platform::kXScreen, position.x);
        platform::WriteSetting(platform::kYScreen, position.y);
    }
    // A recording stops here, and its writer's last syncs are waited for (bounded) while the
    // window still stands, so a failure can be shown.
    if (PanelReady())
        m_panel->CloseRecording(!m_unattended);
    event.Skip();  // the default handling destroys the window
}

void CMainFrame::CloseUnattended()
{
    m_unattended = true;
    Close();
}

void CMainFrame::OnExit(wxCommandEvent&) { Close(); }

bool CMainFrame::TryBefore(wxEvent& event)
{
    if (!m_routing && PanelReady() &&
        event.GetEventType() == wxEVT_MENU) {
        m_routing = true;
        const bool handled = m_panel->GetEventHandler()->ProcessEventLocally(event);
        m_routing = false;
        if (handled)
            return true;
    }
    return wxFrame::TryBefore(event);
}
