// The notification area's icon on a real frame: its menu records and stops as the record key
// does, shows and hides the window, and its tooltip follows the state. The test display has no
// tray host, so the menu's commands are sent to the icon as the menu sends them.
#include <gtest/gtest.h>

#include <memory>

#include <wx/menu.h>

#include "app/MainFrame.h"
#include "app/RemoteControl.h"
#include "app/TrayIcon.h"
#include "panel/MainPanel.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "support/GuiWait.h"

namespace {

class TrayIconTest : public PanelFixture {
protected:
    void Choose(CTrayIcon& tray, int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        tray.ProcessEvent(event);
    }
    static std::string RecordItem(CTrayIcon& tray)
    {
        std::unique_ptr<wxMenu> menu(tray.CreatePopupMenu());
        return menu->GetLabelText(CTrayIcon::kIdRecordStop).utf8_string();
    }
};

}  // namespace

TEST_F(TrayIconTest, MenuRecordsStopsAndHidesTheWindow)
{
    platform::WriteSetting(platform::kLoader, 1);  // a new file at start
    OpenFrame();
    auto control = std::make_unique<CRemoteControl>(m_frame, nullptr);
    control->Start(false);
    CTrayIcon tray(*control);
    tray.ShowState(control->State());
    EXPECT_EQ(RecordItem(tray), "Начать запись");

    Choose(tray, CTrayIcon::kIdRecordStop);
    ASSERT_TRUE(testing_support::WaitFor([&] { return control->State().state == "recording"; }, 10000));
    ExpectState(State::Recording, "after the menu's record");
    Pump(1200);
    tray.ShowState(control->State());
    EXPECT_NE(tray.Tooltip().find("Запись 0:00:0"), std::string::npos) << tray.Tooltip();
    EXPECT_NE(tray.Tooltip().find(m_panel->RecordFile().GetPath()), std::string::npos) << tray.Tooltip();
    EXPECT_EQ(RecordItem(tray), "Остановить запись");

    Choose(tray, CTrayIcon::kIdRecordStop);
    ASSERT_TRUE(testing_support::WaitFor([&] { return control->State().state == "stopped"; }, 10000));
    ExpectState(State::Stopped, "after the menu's stop");

    Choose(tray, CTrayIcon::kIdShowHide);
    EXPECT_FALSE(m_frame->IsShown());
    Choose(tray, CTrayIcon::kIdShowHide);
    EXPECT_TRUE(m_frame->IsShown());
    control.reset();
}
