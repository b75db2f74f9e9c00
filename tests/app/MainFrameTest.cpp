#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/uiaction.h>

#include "app/MainFrame.h"
#include "app/ShutdownWatch.h"
#include "panel/MainPanel.h"
#include "panel/WindowTitle.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "res/TextMenuItem.h"
#include "support/GuiWait.h"
#include "support/TempDir.h"

using namespace platform;
using testing_support::WaitFor;

namespace {

// Generous: a wait that ends early costs nothing, one that ends too soon fails for no reason.
constexpr int kWindowManagerWaitMs = 30000;

// A fresh settings store for each test, and a frame made the way start-up makes it.
class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_xdg = std::make_unique<testing_support::ScopedEnv>("XDG_CONFIG_HOME", m_config.Path());
        SetRegistryKey("Dravellin Software");
        SetWindowTitleText("<No file> - Dravellin Recorder");
    }
    void TearDown() override
    {
        if (m_frame != nullptr)
            CloseFrame();
        m_xdg.reset();
        SetRegistryKey("Dravellin Software");
    }

    CMainFrame* OpenFrame()
    {
        m_frame = new CMainFrame;
        wxTheApp->SetTopWindow(m_frame);
        EXPECT_TRUE(m_frame->LoadFrame(res::IDR_MAINFRAME));
        // The window manager answers when it gets to it: on a loaded machine (sanitizers, tests
        // in parallel) that takes seconds.
        WaitFor([this] { return m_frame->IsShownOnScreen() || m_frame->IsIconized(); }, kWindowManagerWaitMs);
        testing_support::PumpEvents(200);
        return m_frame;
    }

    void CloseFrame()
    {
        m_frame->Close(true);
        m_frame = nullptr;
        testing_support::PumpEvents(50);
    }

    testing_support::TempDir m_config;
    std::unique_ptr<testing_support::ScopedEnv> m_xdg;
    CMainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(MainFrameTest, FirstStartOpensAtDefaultPlaceAndSavesItOnClose)
{
    CMainFrame* frame = OpenFrame();
    EXPECT_TRUE(WaitFor([&] { return frame->GetPosition() == wxPoint(300, 200); }))
        << frame->GetPosition().x << "," << frame->GetPosition().y;
    EXPECT_EQ(frame->GetTitle().utf8_string(), "<No file> - Dravellin Recorder");
    EXPECT_FALSE(frame->IsIconized());
    EXPECT_EQ(frame->GetClientSize(), wxSize(314, 115));
    // The panel fills the client area: controls reach y = 113.
    ASSERT_NE(frame->Panel(), nullptr);
    EXPECT_EQ(frame->Panel()->GetParent(), frame);
    EXPECT_EQ(frame->Panel()->GetPosition(), wxPoint(0, 0));

    CloseFrame();
    EXPECT_EQ(ReadSetting(kXScreen), 300);
    EXPECT_EQ(ReadSetting(kYScreen), 200);
}

TEST_F(MainFrameTest, FixedSizeWithoutMaximiseOrSizingBorder)
{
    CMainFrame* frame = OpenFrame();
    const long style = frame->GetWindowStyleFlag();
    EXPECT_FALSE(style & wxMAXIMIZE_BOX);
    EXPECT_FALSE(style & wxRESIZE_BORDER);
    EXPECT_TRUE(style & wxMINIMIZE_BOX);
    EXPECT_TRUE(style & wxCAPTION);
    EXPECT_EQ(frame->GetMinSize(), frame->GetMaxSize());
    const wxSize before = frame->GetSize();
    frame->SetSize(before.x + 100, before.y + 100);
    testing_support::PumpEvents(100);
    EXPECT_EQ(frame->GetSize(), before);
}

TEST_F(MainFrameTest, ReopensAtStoredPositionExactly)
{
    WriteSetting(kXScreen, 40);
    WriteSetting(kYScreen, 60);
    CMainFrame* frame = OpenFrame();
    EXPECT_TRUE(WaitFor([&] { return frame->GetPosition() == wxPoint(40, 60); }))
        << frame->GetPosition().x << "," << frame->GetPosition().y;
    frame->Move(70, 90);
    WaitFor([&] { return frame->GetPosition() == wxPoint(70, 90); });
    CloseFrame();
    EXPECT_EQ(ReadSetting(kXScreen), 70);
    EXPECT_EQ(ReadSetting(kYScreen), 90);
}

TEST_F(MainFrameTest, StartsMinimisedAndThenLeavesThePositionAlone)
{
    WriteSetting(kMinimized, 1);
    WriteSetting(kXScreen, 123);
    WriteSetting(kYScreen, 45);
    CMainFrame* frame = OpenFrame();
    EXPECT_TRUE(WaitFor([&] { return frame->IsIconized(); }, kWindowManagerWaitMs));
    EXPECT_EQ(frame->GetTitle().utf8_string(), "<No file> - Dravellin Recorder");
    WriteSetting(kXScreen, 7);  // must survive the close untouched
    CloseFrame();
    EXPECT_EQ(ReadSetting(kXScreen), 7);
    EXPECT_EQ(ReadSetting(kYScreen), 45);
}

TEST_F(MainFrameTest, MenuBarHasEveryItemWithItsExactText)
{
    CMainFrame* frame = OpenFrame();
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->GetMenuCount(), 4u);
    EXPECT_EQ(bar->GetMenuLabel(0).utf8_string(), "&Файл");
    EXPECT_EQ(bar->GetMenuLabel(1).utf8_string(), "&Звук");
    EXPECT_EQ(bar->GetMenuLabel(2).utf8_string(), "&Настройка");
    EXPECT_EQ(bar->GetMenuLabel(3).utf8_string(), "&Помощь");

    const std::pair<int, const char*> items[] = {
        {res::ID_FILE_NEW, "&Новый... \tCtrl - N"},
        {res::ID_FILE_OPEN, "&Открыть... \tCtrl - O"},
        {res::ID_APP_EXIT, "Вы&ход\tAlt - F4"},
        {res::ID_SOUND_RECORD, "&Запись\tEnter"},
        {res::ID_SOUND_PLAY, "&Воспроизведение\tSpace"},
        {res::ID_SOUND_START, "Переход в &начало\tHome"},
        {res::ID_SOUND_BACK, "Н&азад на 5 сек\tLeft"},
        {res::ID_SOUND_FORWARD, "В&перед на 5 сек\tRight"},
        {res::ID_SOUND_END, "Переход в &конец\tEnd"},
        {res::ID_SOUND_TIMER, "&Таймер...\tCtrl - M"},
        {res::ID_SETTINGS, "Н&астройки программы...\tCtrl - P"},
        {res::ID_ALWAYS_ON_TOP, "&Поверх всех окон\tCtrl - T"},
        {res::ID_VOLUME, "&Громкость...\tCtrl - V"},
        {res::ID_RECORD_LEVEL, "&Уровень записи...\tCtrl - R"},
        {res::ID_WEB_SITE, "&Web-site"},
        {res::ID_SEND_EMAIL, "&Послать e-mail"},
        {res::ID_APP_ABOUT, "&О программе ..."},
    };
    for (const auto& [id, text] : items)
        EXPECT_EQ(res::MenuItemExactText(bar, id), text) << id;
    EXPECT_TRUE(bar->FindItem(res::ID_ALWAYS_ON_TOP)->IsCheckable());
    // Separators: File 4 items, Sound 9, Settings 5, Help 4.
    EXPECT_EQ(bar->GetMenu(0)->GetMenuItemCount(), 4u);
    EXPECT_EQ(bar->GetMenu(1)->GetMenuItemCount(), 9u);
    EXPECT_EQ(bar->GetMenu(2)->GetMenuItemCount(), 5u);
    EXPECT_EQ(bar->GetMenu(3)->GetMenuItemCount(), 4u);
}

TEST_F(MainFrameTest, CommandsReachThePanelFirst)
{
    CMainFrame* frame = OpenFrame();
    std::vector<int> panelGot;
    frame->Panel()->Bind(wxEVT_MENU, [&](wxCommandEvent& e) { panelGot.push_back(e.GetId()); },
                         res::ID_SOUND_RECORD);
    wxCommandEvent record(wxEVT_MENU, res::ID_SOUND_RECORD);
    record.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(record);
    EXPECT_EQ(panelGot, std::vector<int>{res::ID_SOUND_RECORD});
}

TEST_F(MainFrameTest, KeysSendTheAcceleratorCommandsOnlyAndFocusGoesToThePanel)
{
    CMainFrame* frame = OpenFrame();
    frame->Raise();
    frame->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == frame->Panel(); }))
        << "focus: " << wxWindow::FindFocus() << " frame " << frame << " panel " << frame->Panel()
        << " active " << frame->IsActive();

    std::vector<int> got;
    frame->Panel()->Bind(wxEVT_MENU, [&](wxCommandEvent& e) { got.push_back(e.GetId()); });
    wxUIActionSimulator sim;
    sim.Char(WXK_RETURN);
    sim.Char(WXK_SPACE);
    sim.Char(WXK_HOME);
    sim.Char(WXK_END);
    sim.Char(WXK_LEFT);
    sim.Char(WXK_RIGHT);
    sim.Char('N', wxMOD_CONTROL);
    sim.Char('O', wxMOD_CONTROL);
    sim.Char('P', wxMOD_CONTROL);
    sim.Char('T', wxMOD_CONTROL);
    sim.Char('V', wxMOD_CONTROL);
    sim.Char('R', wxMOD_CONTROL);
    sim.Char('M', wxMOD_CONTROL);
    const std::vector<int> expected = {
        res::ID_ACCEL_ENTER, res::ID_ACCEL_SPACE, res::ID_ACCEL_HOME,     res::ID_ACCEL_END,
        res::ID_ACCEL_LEFT,  res::ID_ACCEL_RIGHT, res::ID_ACCEL_NEW,      res::ID_ACCEL_OPEN,
        res::ID_ACCEL_SETTINGS, res::ID_ACCEL_ON_TOP, res::ID_ACCEL_VOLUME, res::ID_ACCEL_RECORD_LEVEL,
        res::ID_ACCEL_TIMER,
    };
    EXPECT_TRUE(WaitFor([&] { return got.size() >= expected.size(); }));
    testing_support::PumpEvents(100);
    EXPECT_EQ(got, expected);
}

// The end of the session (and a termination signal) asks CShutdownWatch to close: an open modal
// dialog is ended first, then the window closes once, as closing it does, saving the position.
TEST_F(MainFrameTest, ACloseRequestEndsTheOpenDialogAndClosesTheWindowOnce)
{
    CShutdownWatch watch;
    CMainFrame* frame = OpenFrame();
    frame->Move(70, 90);
    ASSERT_TRUE(WaitFor([&] { return frame->GetPosition() == wxPoint(70, 90); }, kWindowManagerWaitMs));
    int closes = 0;
    frame->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& e) {
        ++closes;
        e.Skip();
    });

    {
        // As the program's own dialogs: made on the stack of a command, gone when it returns.
        wxDialog dialog(frame, wxID_ANY, "modal");
        dialog.CallAfter([&] {
            watch.RequestClose();
            watch.RequestClose();  // twice in a row: still one close
        });
        EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
    }
    EXPECT_TRUE(WaitFor([&] { return closes > 0; }, kWindowManagerWaitMs)) << "the window was not closed";
    m_frame = nullptr;  // destroyed by its close
    testing_support::PumpEvents(300);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(watch.CloseRequested());
    EXPECT_EQ(ReadSetting(kXScreen), 70);
    EXPECT_EQ(ReadSetting(kYScreen), 90);
}
