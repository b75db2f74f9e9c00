#include "app/RecorderApp.h"

#include <chrono>
#include <cstdio>

#include <wx/log.h>
#include <wx/time.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/RemoteControl.h"
#include "app/ShutdownWatch.h"
#include "engine/record/PendingWrites.h"
#include "panel/MainPanel.h"
#include "panel/SavingFailures.h"
#include "platform/CommandBus.h"
#include "platform/PrivateFonts.h"
#include "platform/Profile.h"
#include "platform/SafeOpen.h"
#include "platform/SignalPipe.h"
#include "platform/UiTrace.h"
#include "res/ResourceIds.h"

namespace {
std::string g_startupFile;
std::unique_ptr<platform::CommandBus> g_commandBus;
bool g_recordAtStart = false;
}  // namespace

wxBEGIN_EVENT_TABLE(CRecorderApp, wxApp)
    EVT_MENU(res::ID_APP_ABOUT, CRecorderApp::OnAppAbout)
    EVT_QUERY_END_SESSION(CRecorderApp::OnQueryEndSession)
    EVT_END_SESSION(CRecorderApp::OnEndSession)
wxEND_EVENT_TABLE()

CRecorderApp::CRecorderApp() = default;
CRecorderApp::~CRecorderApp() = default;

bool CRecorderApp::OnInit()
{
    // Termination signals close the window as the user would (SDL, once loaded, leaves them
    // alone).
    platform::SignalPipe::Install();
    m_shutdown = std::make_unique<CShutdownWatch>();
    // wxWidgets' own debugging chatter is for developers, not for the terminal of a user.
    wxLog::SetLogLevel(wxLOG_Info);
    platform::IgnoreFileSizeSignal();
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
    frame->Panel()->SetStartupFile(g_startupFile);
    // The frame is the main window before its window exists, so code that runs during its
    // creation can find it and its menu.
    SetTopWindow(frame);
    if (!frame->LoadFrame(res::IDR_MAINFRAME)) {
        // Nothing to show: end the event loop as soon as it starts.
        SetTopWindow(nullptr);
        delete frame;
        CallAfter([this] { ExitMainLoop(); });
        return true;
    }
    m_remote = std::make_unique<CRemoteControl>(frame, std::move(g_commandBus));
    m_remote->Start(g_recordAtStart);
    return true;
}

void CRecorderApp::SetStartupFile(const std::string& path) { g_startupFile = path; }
void CRecorderApp::SetCommandBus(std::unique_ptr<platform::CommandBus> bus) { g_commandBus = std::move(bus); }
void CRecorderApp::SetRecordAtStart(bool record) { g_recordAtStart = record; }
int CRecorderApp::OnExit()
{
    m_remote.reset();
    g_commandBus.reset();
    m_shutdown.reset();
    // The window is gone; a recording's writer may still be putting its last data on the disk.
    // It is given a few seconds more; a failure found now is logged and shown at the next
    // start, and a disk that takes longer is left to the system, which keeps what was written.
    CSavingFailures::AtExit();
    return wxApp::OnExit();
}

void CRecorderApp::OnQueryEndSession(wxCloseEvent&)
{
    // Not vetoed: the session may end.
}

void CRecorderApp::OnEndSession(wxCloseEvent&)
{
    if (!m_shutdown)
        return;
    m_shutdown->RequestClose();
#ifdef __WXMSW__
    // WM_ENDSESSION: when this returns Windows may end the process at any moment. The window
    // goes first (its recorder stops and hands what it captured to its writer); then the writer
    // is given what a normal exit gives it, before the process may end.
    FinishCloseNow(10000);
    if (!CPendingWrites::Get().WaitAll(std::chrono::seconds(2)))
        std::fprintf(stderr, "dravellin-recorder: the last recording was still being synced to the disk at the end of the session\n");
#endif
}

void CRecorderApp::FinishCloseNow(int limitMs)
{
    const wxLongLong deadline = wxGetLocalTimeMillis() + limitMs;
    while (!wxTopLevelWindows.empty() && wxGetLocalTimeMillis() < deadline) {
        while (Pending())
            Dispatch();
        // Idle processing destroys the closed window (and with it the panel and its recorder).
        ProcessIdle();
        wxMilliSleep(10);
    }
}

void CRecorderApp::OnAppAbout(wxCommandEvent&)
{
    CAboutDlg about(GetTopWindow());
    about.ShowModal();
}
