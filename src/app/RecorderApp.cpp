#include "app/RecorderApp.h"

#include <wx/log.h>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "platform/PrivateFonts.h"
#include "platform/Profile.h"
#include "platform/UiTrace.h"
#include "res/ResourceIds.h"

wxBEGIN_EVENT_TABLE(CRecorderApp, wxApp)
    EVT_MENU(res::ID_APP_ABOUT, CRecorderApp::OnAppAbout)
wxEND_EVENT_TABLE()

bool CRecorderApp::OnInit()
{
    // wxWidgets' own debugging chatter is for developers, not for the terminal of a user.
    wxLog::SetLogLevel(wxLOG_Info);
    // No window here handles idle or update-UI events: without these modes every event the
    // loop handles (ten meter ticks a second while recording) is followed by a walk of every
    // window with both.
    wxIdleEvent::SetMode(wxIDLE_PROCESS_SPECIFIED);
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    {
        platform::UiTrace trace("startup-fonts");
        platform::RegisterPrivateFonts();
    }
    platform::UiTrace trace("startup-frame");
    return InitInstance();
}

bool CRecorderApp::InitInstance()
{
    // Settings come from the per-user store under the company key. This must happen before the
    // frame is constructed: its panel constructs the settings pages, which read their keys at once.
    platform::SetRegistryKey("Dravellin Software");

    auto* frame = new CMainFrame;
    // The frame is the main window before its window exists, so code that runs during its
    // creation can find it and its menu.
    SetTopWindow(frame);
    if (!frame->LoadFrame(res::IDR_MAINFRAME)) {
        // Nothing to show: end the event loop as soon as it starts.
        SetTopWindow(nullptr);
        delete frame;
        CallAfter([this] { ExitMainLoop(); });
    }
    return true;
}

void CRecorderApp::OnAppAbout(wxCommandEvent&)
{
    CAboutDlg about(GetTopWindow());
    about.ShowModal();
}
