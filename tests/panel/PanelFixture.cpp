#include "panel/PanelFixture.h"

#include <chrono>

#include <wx/app.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "controls/PanelButton.h"
#include "controls/SeekSlider.h"
#include "controls/StatusLamp.h"
#include "engine/record/PendingWrites.h"
#include "panel/WindowTitle.h"
#include "platform/Profile.h"
#include "platform/sdl/SdlAudio.h"
#include "res/ResourceIds.h"
#include "res/TextMenuItem.h"
#include "settings/MySheetDialog.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"

void PanelFixture::SetUp()
{
    m_xdg = std::make_unique<testing_support::ScopedEnv>("XDG_CONFIG_HOME", m_dir.File("config"));
    platform::SetRegistryKey("Dravellin Software");
    SetWindowTitleText("<No file> - Dravellin Recorder");
    ASSERT_TRUE(testing_support::WriteTonePcm(m_dir.File("input.raw"), 120, 11025, 1));
    m_audioIn = std::make_unique<testing_support::ScopedEnv>("SDL_DISKAUDIOFILEIN", m_dir.File("input.raw"));
    m_audioOut = std::make_unique<testing_support::ScopedEnv>("SDL_DISKAUDIOFILE", m_dir.File("output.raw"));
    m_messages = std::make_unique<testing_support::MessageCapture>();
}

void PanelFixture::TearDown()
{
    if (m_frame != nullptr)
        CloseFrame();
    // As the program does at its end: recordings still being written are waited for, and their
    // threads joined, before the next test (or the process's end) comes.
    EXPECT_TRUE(CPendingWrites::Get().WaitAll(std::chrono::seconds(20)));
    // A failure no window was left to tell is not shown to the next test.
    CPendingWrites::Get().TakeFailures();
    // Devices closing in the background still use this test's output file.
    platform::SdlAudio::Get().WaitForClosed();
    m_messages.reset();
    m_audioOut.reset();
    m_audioIn.reset();
    m_xdg.reset();
    platform::SetRegistryKey("Dravellin Software");
}

void PanelFixture::OpenFrame(const std::string& startupFile)
{
    m_frame = new CMainFrame;
    m_frame->Panel()->SetStartupFile(startupFile);
    wxTheApp->SetTopWindow(m_frame);
    ASSERT_TRUE(m_frame->LoadFrame(res::IDR_MAINFRAME));
    m_panel = m_frame->Panel();
    testing_support::WaitFor([this] { return m_frame->IsShownOnScreen(); });
}

void PanelFixture::CloseFrame()
{
    m_frame->Close(true);
    m_frame = nullptr;
    m_panel = nullptr;
    Pump(20);
}

void PanelFixture::Command(int id)
{
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(m_frame);
    m_frame->GetEventHandler()->ProcessEvent(event);
}

void PanelFixture::PressKey(int keyCode, int modifiers)
{
    m_frame->Raise();
    m_panel->SetFocus();
    ASSERT_TRUE(testing_support::WaitFor([this] { return wxWindow::FindFocus() == m_panel; }, 20000))
        << "the panel never got the keyboard focus";
    wxUIActionSimulator keys;
    keys.Char(keyCode, modifiers);
}

namespace {

// Runs body on the settings sheet once it is open, from inside its modal loop.
class OnSheet : public wxTimer {
public:
    OnSheet(CMySheet& sheet, const std::function<void(CMySheetDialog&)>& body) : m_sheet(sheet), m_body(body)
    {
        Start(50);
    }
    void Notify() override
    {
        CMySheetDialog* dialog = m_sheet.OpenDialog();
        if (dialog == nullptr || !dialog->IsModal())
            return;
        Stop();
        EXPECT_TRUE(testing_support::WaitFor([dialog] { return dialog->IsActive(); }, 20000))
            << "the sheet never got the focus";
        m_body(*dialog);
        ran = true;
    }
    bool ran = false;

private:
    CMySheet& m_sheet;
    const std::function<void(CMySheetDialog&)>& m_body;
};

}  // namespace

void PanelFixture::OnSettingsSheet(const std::function<void(CMySheetDialog&)>& body)
{
    OnSheet driver(m_panel->Settings(), body);
    PressKey('P', wxMOD_CONTROL);
    ASSERT_TRUE(testing_support::WaitFor([&] { return driver.ran; }, 10000)) << "the settings did not open";
    Pump(300);
}

void PanelFixture::ClickOn(wxWindow* control)
{
    ASSERT_NE(control, nullptr);
    wxUIActionSimulator sim;
    sim.MouseMove(control->GetScreenRect().GetPosition() + wxSize(8, control->GetSize().y / 2));
    testing_support::PumpEvents(50);
    sim.MouseClick();
    testing_support::PumpEvents(150);
}

void PanelFixture::Click(int id)
{
    wxWindow* button = m_panel->FindWindow(id);
    ASSERT_NE(button, nullptr);
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

wxMenuBar* PanelFixture::MenuBar() const { return m_frame->GetMenuBar(); }

std::string PanelFixture::MenuText(int id) const { return res::MenuItemExactText(MenuBar(), id); }

bool PanelFixture::MenuEnabled(int id) const { return MenuBar()->IsEnabled(id); }

std::string PanelFixture::Title() const { return m_frame->GetTitle().utf8_string(); }

void PanelFixture::Pump(int ms) { testing_support::PumpEvents(ms); }

void PanelFixture::ExpectState(State state, const char* where) const
{
    SCOPED_TRACE(where);
    const bool recording = state == State::Recording;
    const bool playing = state == State::Playing;
    EXPECT_FALSE(m_panel->Player() != nullptr && m_panel->Recorder() != nullptr);
    EXPECT_EQ(m_panel->Recorder() != nullptr, recording);
    if (state == State::NoFile) {
        EXPECT_EQ(m_panel->Player(), nullptr);
    }
    if (state == State::Stopped || playing) {
        EXPECT_NE(m_panel->Player(), nullptr);
    }

    EXPECT_EQ(m_panel->RecordButton()->IsEnabled(), !playing);
    EXPECT_EQ(m_panel->PlayButton()->IsEnabled(), !recording);
    EXPECT_EQ(m_panel->RecordButton()->GetIconId(), recording ? res::IDI_STOP : res::IDI_RECORD);
    EXPECT_EQ(m_panel->PlayButton()->GetIconId(), playing ? res::IDI_STOP : res::IDI_PLAY);
    EXPECT_EQ(m_panel->Lamp()->GetState(), recording ? LAMP_RECORD : playing ? LAMP_PLAY : LAMP_STOP);

    EXPECT_EQ(MenuEnabled(res::ID_SOUND_RECORD), !playing);
    for (int id = res::ID_SOUND_PLAY; id <= res::ID_SOUND_END; ++id)
        EXPECT_EQ(MenuEnabled(id), !recording) << id;
    if (recording) {
        EXPECT_EQ(MenuText(res::ID_SOUND_RECORD), "Стоп\tSpace");
    }
    if (playing) {
        EXPECT_EQ(MenuText(res::ID_SOUND_PLAY), "Стоп\tSpace");
    }
    if (!recording) {
        const std::string record = MenuText(res::ID_SOUND_RECORD);
        EXPECT_TRUE(record == "&Запись\tEnter" || record == "Запись\tEnter") << record;
    }
    if (!playing) {
        const std::string play = MenuText(res::ID_SOUND_PLAY);
        EXPECT_TRUE(play == "&Воспроизведение\tSpace" || play == "Воспроизведение\tSpace") << play;
    }
    // The record and play buttons are named after their current icon, as their menu items are.
    EXPECT_EQ(m_panel->RecordButton()->GetDescription(), recording ? "Стоп" : "Запись");
    EXPECT_EQ(m_panel->PlayButton()->GetDescription(), playing ? "Стоп" : "Воспроизведение");
    EXPECT_EQ(m_panel->IsTimerRunning(kPlayTimerId), playing);
    EXPECT_EQ(m_panel->IsTimerRunning(kRecordTimerId), recording);
    EXPECT_EQ(m_panel->IsTimerRunning(kMeterTimerId), recording);
    EXPECT_EQ(m_panel->Slider()->IsEnabled(), !recording);
}
