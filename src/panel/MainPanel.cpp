// The main panel's window, its controls and the command table.

#include "panel/MainPanel.h"

#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/slider.h>
#include <wx/statbox.h>

#include "controls/InfoPanel.h"
#include "controls/LevelMeter.h"
#include "controls/PanelButton.h"
#include "controls/SeekSlider.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/KeepBeforeInput.h"
#include "engine/record/PendingWrites.h"
#include "panel/SavingFailures.h"
#include "engine/record/WaveRecorder.h"
#include "panel/VendorLinks.h"
#include "platform/DesktopLauncher.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "res/TextMenuItem.h"

wxBEGIN_EVENT_TABLE(CMainPanel, wxWindow)
    EVT_BUTTON(wxID_ANY, CMainPanel::OnCommand)
    EVT_MENU(wxID_ANY, CMainPanel::OnCommand)
    EVT_TIMER(wxID_ANY, CMainPanel::OnTimerEvent)
    EVT_COMMAND_SCROLL(res::IDC_SLIDER, CMainPanel::OnScroll)
wxEND_EVENT_TABLE()

namespace {

// Rectangles are (left, top, right, bottom) in panel pixels.
wxRect Rect(int left, int top, int right, int bottom)
{
    return wxRect(left, top, right - left, bottom - top);
}

}  // namespace

CMainPanel::CMainPanel()
    : m_settings(wxString::FromUTF8("Свойства"), nullptr, 0),
      m_recordTicker([this] { return OnRecordTick(); }),
      m_playTimer(this, kPlayTimerId),
      m_meterTicker([this] { return OnMeterTick(); }),
      m_startTimer(this, kStartTimerId),
      m_scheduleTimer(this, kScheduleTimerId),
      m_keepTimer(this, kKeepTimerId),
      m_saveTimer(this, kSaveTimerId),
      m_clock(std::make_shared<CClock>()),
      m_schedule(std::make_unique<CRecordTimer>(*m_clock))
{
}

CMainPanel::~CMainPanel()
{
    m_recordTicker.Stop();
    m_playTimer.Stop();
    m_meterTicker.Stop();
    m_startTimer.Stop();
    m_scheduleTimer.Stop();
    m_saveTimer.Stop();
    CloseKeepBefore();
    // A player is destroyed first; otherwise a recorder is stopped (everything captured is
    // written) and its writer left to finish on its own threads: the program's end gives it
    // a little time to put the file on the disk.
    if (m_mp3Player)
        DestroyPlayer();
    if (m_recorder) {
        m_recorder->Stop();
        CPendingWrites::Get().Keep(std::shared_ptr<CWaveRecorder>(std::move(m_recorder)));
    }
}

bool CMainPanel::Create(wxWindow* parent)
{
    if (!wxWindow::Create(parent, wxID_ANY, wxPoint(0, 0), wxSize(314, 152), wxWANTS_CHARS))
        return false;
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_MENU));
    // The panel is repainted under every control that redraws (the level meter ten times a
    // second); with a font and text colour of its own, each repaint skips the GTK theme
    // look-ups a window without them makes. Own values are not passed on to the controls.
    SetOwnFont(*wxNORMAL_FONT);
    SetOwnForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_MENUTEXT));
    return OnCreate() == 0;
}

void CMainPanel::CreateControls()
{
    using namespace res;
    m_newButton = new CPanelButton(this, IDC_NEW_BUTTON, Rect(7, 85, 55, 108));
    m_recordButton = new CPanelButton(this, IDC_RECORD_BUTTON, Rect(58, 85, 106, 108));
    m_playButton = new CPanelButton(this, IDC_PLAY_BUTTON, Rect(109, 85, 157, 108));
    m_openButton = new CPanelButton(this, IDC_OPEN_BUTTON, Rect(160, 85, 208, 108));
    m_recLevelButton = new CPanelButton(this, IDC_RECORD_LEVEL_BUTTON, Rect(254, 85, 279, 108));
    m_volumeButton = new CPanelButton(this, IDC_VOLUME_BUTTON, Rect(282, 85, 307, 108));
    m_slider = new CSeekSlider(this, IDC_SLIDER, Rect(120, 55, 310, 78));
    // The group boxes come after what they surround: GTK finds the widget under the pointer
    // (for tooltips) by taking the first child that contains the point, and a group box first
    // would hide the buttons' tooltips.
    m_buttonFrame = new wxStaticBox(this, wxID_ANY, wxString(), wxPoint(2, 72), wxSize(310, 41));
    m_sliderFrame = new wxStaticBox(this, wxID_ANY, wxString(), wxPoint(118, 45), wxSize(194, 37));

    m_newButton->SetIconId(IDI_NEW);
    m_recordButton->SetIconId(IDI_RECORD);
    m_playButton->SetIconId(IDI_PLAY);
    m_openButton->SetIconId(IDI_OPEN);
    m_recLevelButton->SetIconId(IDI_RECORD_LEVEL);
    m_volumeButton->SetIconId(IDI_VOLUME);

    m_lamp = new CStatusLamp(this, IDC_STATUS_LAMP, Rect(2, 0, 26, 28));
    DescribeLamp();
    m_timePanel = new CTimePanel(this, IDC_TIME_PANEL, Rect(26, 0, 115, 26));
    m_levelMeter = new CLevelMeter(this, IDC_LEVEL_METER, Rect(2, 26, 115, 77));
    m_infoPanel = new CInfoPanel(this, IDC_INFO_PANEL, Rect(115, 0, 311, 50));
    for (wxWindow* w : std::initializer_list<wxWindow*>{m_lamp, m_timePanel, m_levelMeter, m_infoPanel})
        w->Show();
    // The black boxes are drawn over the slider's group box where they overlap.
    m_infoPanel->Raise();
    m_levelMeter->Raise();
}

int CMainPanel::OnCreate()
{
    CreateControls();
    // The buttons' descriptions (tooltips, and the names screen readers read) once the window
    // is up: the system's tooltip window is made with the first, which on Windows held up the
    // window's first appearance by a few milliseconds.
    CallAfter([this] { DescribeButtons(); });
    // What an earlier run could not show, once the window is up.
    CallAfter([] { CSavingFailures::ShowKept(); });

    // Mark the menu item opposite to the stored value, then toggle: mark, z-order and the stored
    // value end up agreeing with what was stored.
    const bool stored = platform::ReadSetting(platform::kAlwaysOnTop) != 0;
    m_alwaysOnTop = !stored;
    if (wxMenuBar* bar = MenuBar())
        bar->Check(res::ID_ALWAYS_ON_TOP, m_alwaysOnTop);
    ToggleAlwaysOnTop();
    // A timer armed in an earlier run is armed again, and shown once the file is loaded.
    m_schedule->Restore();
    ShowTimerState();

    // A file named on the command line replaces the start-up action.
    if (!m_startupFile.empty()) {
        OpenChosenFile(m_startupFile);
        return 0;
    }
    switch (m_settings.GeneralPage().m_nLoader) {
    case 0:
        ShowSettingsFormat();
        break;
    case 1:
        if (m_recordFile.NewFile(true) && m_recordFile.CreateEmpty())
            LoadCurrentFile();
        break;
    case 2:
        if (m_recordFile.OpenExisting(true))
            LoadCurrentFile();
        break;
    default:
        break;
    }
    return 0;
}

wxWindow* CMainPanel::MainWindow() const { return GetParent(); }

wxMenuBar* CMainPanel::MenuBar() const
{
    auto* frame = wxDynamicCast(GetParent(), wxFrame);
    return frame ? frame->GetMenuBar() : nullptr;
}

void CMainPanel::SetMainWindowTitle(const std::string& utf8Title)
{
    if (wxWindow* main = MainWindow())
        main->SetLabel(wxString::FromUTF8(utf8Title));
}

void CMainPanel::SetMenuText(int id, const char* utf8Text)
{
    if (wxMenuBar* bar = MenuBar())
        bar->SetLabel(id, wxString::FromUTF8(utf8Text));
    DescribeButtons();
}

void CMainPanel::DescribeButtons()
{
    // Each button is described by the text of its menu command, which the transport switches
    // together with the record and play buttons' icons ("Запись" or "Стоп").
    wxMenuBar* bar = MenuBar();
    const std::pair<CPanelButton*, int> buttons[] = {
        {m_newButton, res::ID_FILE_NEW},         {m_recordButton, res::ID_SOUND_RECORD},
        {m_playButton, res::ID_SOUND_PLAY},      {m_openButton, res::ID_FILE_OPEN},
        {m_recLevelButton, res::ID_RECORD_LEVEL}, {m_volumeButton, res::ID_VOLUME},
    };
    for (const auto& [button, command] : buttons)
        if (button != nullptr)
            button->SetDescription(res::TextMenuItem::CommandName(res::MenuItemExactText(bar, command)));
}

void CMainPanel::DescribeLamp()
{
    if (m_lamp == nullptr)
        return;
    const CPageSrc& page = m_settings.SourcesPage();
    if (m_recorder && m_recorder->IsCapturing()) {
        // The stream's own source when the server told it (the default entry names the input
        // it follows); SDL does not say which device it records.
        const std::string name = m_recorder->SourceName();
        const std::string first = CPageSrc::SourceLabel(name.empty() ? page.GetSource() : name);
        const std::string state = m_recorder->Waiting()     ? "Запись ждёт звуковой вход"
                                  : m_recorder->Listening() ? "Запись по голосу ждёт звука громче порога"
                                                            : "Идёт запись";
        if (!m_recorder->HasSecondSource()) {
            m_lamp->SetDescription(state + ". Источник звука: " + first);
            return;
        }
        const std::string second = m_recorder->SecondSourceName();
        m_lamp->SetDescription(state + ". Источники звука: " + first + " и " +
                               CPageSrc::SourceLabel(second.empty() ? page.GetSecondSource() : second));
        return;
    }
    m_lamp->SetDescription((page.GetSecondSource().empty() ? "Источник звука для записи: " : "Источники звука для записи: ") +
                           page.RecordedSourcesLabel() +
                           KeepBeforeNote() + TimerNote());
}

void CMainPanel::EnableMenuItem(int id, bool enable)
{
    if (wxMenuBar* bar = MenuBar())
        bar->Enable(id, enable);
}

bool CMainPanel::IsTimerRunning(int timerId) const
{
    switch (timerId) {
    case kPlayTimerId: return m_playTimer.IsRunning();
    case kRecordTimerId: return m_recordTicker.IsRunning();
    case kMeterTimerId: return m_meterTicker.IsRunning();
    case kStartTimerId: return m_startTimer.IsRunning();
    case kScheduleTimerId: return m_scheduleTimer.IsRunning();
    default: return false;
    }
}

void CMainPanel::OnCommand(wxCommandEvent& event)
{
    using namespace res;
    switch (event.GetId()) {
    case IDC_RECORD_BUTTON: OnRecord(); break;
    case IDC_PLAY_BUTTON: OnPlay(); break;
    case IDC_NEW_BUTTON: SetFocus(); OnNewFile(); break;
    case IDC_OPEN_BUTTON: SetFocus(); OnOpenFile(); break;
    case IDC_RECORD_LEVEL_BUTTON: OnRecordLevel(); break;
    case IDC_VOLUME_BUTTON: OnVolume(); break;
    case ID_SOUND_RECORD: OnRecord(); break;
    case ID_SOUND_PLAY: OnPlay(); break;
    case ID_SOUND_START: JumpToStart(); break;
    case ID_SOUND_BACK: StepBack(); break;
    case ID_SOUND_FORWARD: StepForward(); break;
    case ID_SOUND_END: JumpToEnd(); break;
    case ID_FILE_NEW: OnNewFile(); break;
    case ID_FILE_OPEN: OnOpenFile(); break;
    case ID_SETTINGS: OnSettings(); break;
    case ID_ALWAYS_ON_TOP: ToggleAlwaysOnTop(); break;
    case ID_VOLUME: OnVolume(); break;
    case ID_RECORD_LEVEL: OnRecordLevel(); break;
    case ID_WEB_SITE: OnWebSite(); break;
    case ID_SEND_EMAIL: OnEmail(); break;
    case ID_SOUND_TIMER: OnTimerCommand(); break;
    case ID_ACCEL_TIMER: OnTimerCommand(); break;
    case ID_ACCEL_NEW: m_newButton->Flash(); OnNewFile(); break;
    case ID_ACCEL_OPEN: m_openButton->Flash(); OnOpenFile(); break;
    case ID_ACCEL_SETTINGS: OnSettings(); break;
    case ID_ACCEL_ON_TOP: ToggleAlwaysOnTop(); break;
    case ID_ACCEL_RECORD_LEVEL: m_recLevelButton->Flash(); OnRecordLevel(); break;
    case ID_ACCEL_VOLUME: m_volumeButton->Flash(); OnVolume(); break;
    case ID_ACCEL_ENTER: OnEnterKey(); break;
    case ID_ACCEL_SPACE: OnSpaceKey(); break;
    case ID_ACCEL_HOME: JumpToStart(); break;
    case ID_ACCEL_END: JumpToEnd(); break;
    case ID_ACCEL_LEFT: StepBack(); break;
    case ID_ACCEL_RIGHT: StepForward(); break;
    default:
        // Not a command of the panel: the frame and the application get it next.
        event.Skip();
        break;
    }
}

void CMainPanel::OnEnterKey()
{
    // The record button is disabled while playback runs: Enter does nothing then.
    if (!m_recordButton->IsEnabled())
        return;
    m_recordButton->Flash();
    OnRecord();
}

void CMainPanel::OnSpaceKey()
{
    // The play button is disabled while recording: Space stops the recording then.
    if (!m_playButton->IsEnabled()) {
        OnEnterKey();
        return;
    }
    m_playButton->Flash();
    OnPlay();
}

void CMainPanel::OnRecordLevel()
{
    SetFocus();
    platform::StartMixer(platform::MixerView::Input);
}

void CMainPanel::OnVolume()
{
    SetFocus();
    platform::StartMixer(platform::MixerView::Output);
}

void CMainPanel::OnWebSite() { platform::OpenUrl(vendor::kWebSite); }

void CMainPanel::OnEmail()
{
    platform::OpenUrl(std::string("mailto:") + vendor::kSupportMailbox + vendor::kMailSubject);
}

void CMainPanel::OnSettings()
{
    if (m_settings.DoModal() != wxID_OK)
        return;
    UpdateKeepBefore();
    if (!m_mp3Player)
        ShowSettingsFormat();
    else if (m_mp3Player->GetLength() == 0.0f)
        LoadCurrentFile();  // an empty file takes the new format for its next recording
}

void CMainPanel::ToggleAlwaysOnTop()
{
    // The panel's own flag is the item's state: GTK flips a check item by itself before the
    // command arrives, so the menu cannot be asked afterwards.
    m_alwaysOnTop = !m_alwaysOnTop;
    if (wxMenuBar* bar = MenuBar())
        bar->Check(res::ID_ALWAYS_ON_TOP, m_alwaysOnTop);
    ApplyAlwaysOnTop(m_alwaysOnTop);
    platform::WriteSetting(platform::kAlwaysOnTop, m_alwaysOnTop ? 1 : 0);
}

void CMainPanel::ApplyAlwaysOnTop(bool onTop)
{
    wxWindow* main = MainWindow();
    if (main == nullptr)
        return;
    const long style = main->GetWindowStyleFlag();
    main->SetWindowStyleFlag(onTop ? (style | wxSTAY_ON_TOP) : (style & ~wxSTAY_ON_TOP));
}

void CMainPanel::OnTimerEvent(wxTimerEvent& event)
{
    switch (event.GetId()) {
    case kPlayTimerId: OnPlayTick(); break;
    case kStartTimerId: OnStartTick(); break;
    case kScheduleTimerId: OnScheduleTick(); break;
    case kKeepTimerId: OnKeepTick(); break;
    case kSaveTimerId: OnSaveTick(); break;
    default: event.Skip(); break;
    }
}

void CMainPanel::OnScroll(wxScrollEvent& event)
{
    SetFocus();
    const wxEventType type = event.GetEventType();
    int code = -1;
    if (type == wxEVT_SCROLL_LINEUP)
        code = kScrollLineLeft;
    else if (type == wxEVT_SCROLL_LINEDOWN)
        code = kScrollLineRight;
    else if (type == wxEVT_SCROLL_PAGEUP)
        code = kScrollPageLeft;
    else if (type == wxEVT_SCROLL_PAGEDOWN)
        code = kScrollPageRight;
    else if (type == wxEVT_SCROLL_THUMBRELEASE)
        code = kScrollThumbPosition;
    else if (type == wxEVT_SCROLL_THUMBTRACK)
        code = kScrollThumbTrack;
    OnSliderScroll(code, event.GetPosition());
}
