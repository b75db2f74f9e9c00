// The General page inside the real sheet: the start-up action, the minimised start and the
// automatic-start entry.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <gtk/gtk.h>

#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/taskbar.h>

#include "platform/Autostart.h"
#include "platform/ProfileKeys.h"
#include "platform/ProgramPaths.h"
#include "settings/PageControlIds.h"
#include "settings/RecordingStore.h"
#include "settings/SheetTestSupport.h"
#include "support/TempDir.h"

using namespace settings;
using namespace settings_test;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class GeneralPageTest : public ::testing::Test {
protected:
    int SetAutorun(bool on)
    {
        return RunSheet(m_sheet, [on](CMySheetDialog& dlg) {
            Click(Find<wxCheckBox>(dlg, IDC_AUTORUN), on);
            return wxID_OK;
        });
    }

    testing_support::TempDir m_config;
    testing_support::ScopedEnv m_xdg{"XDG_CONFIG_HOME", m_config.Path()};
    ScopedRecordingStore m_store;
    CMySheet m_sheet;
    std::string m_entry = m_config.Path() + "/autostart/Palimbor.desktop";
};

}  // namespace

TEST_F(GeneralPageTest, SheetSpeaksRussianAndNamesTheLogIn)
{
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        wxWindow* ok = dlg.FindWindow(wxID_OK);
        wxWindow* cancel = dlg.FindWindow(wxID_CANCEL);
        EXPECT_NE(ok, nullptr);
        EXPECT_NE(cancel, nullptr);
        if (ok != nullptr && cancel != nullptr) {
            EXPECT_EQ(ok->GetLabel().utf8_string(), "OK");
            EXPECT_EQ(cancel->GetLabel().utf8_string(), "Отмена");
            // What the toolkit's button shows, not only what wxWidgets remembers.
            EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(cancel->GetHandle())), "Отмена");
            EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(ok->GetHandle())), "OK");
        }
        EXPECT_EQ(Find<wxCheckBox>(dlg, IDC_AUTORUN)->GetLabel().utf8_string(),
                  "Запускаться автоматически при входе в систему");
        return wxID_CANCEL;
    });
}

TEST_F(GeneralPageTest, StartupActionIsStoredByItsRadio)
{
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        Click(Find<wxRadioButton>(dlg, IDC_LOADER_LAST_FILE));
        return wxID_OK;
    });
    EXPECT_EQ(m_store->Get(platform::kLoader), 2);
    EXPECT_EQ(m_sheet.GeneralPage().Loader(), 2);
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        EXPECT_TRUE(IsChecked(dlg, IDC_LOADER_LAST_FILE));
        Click(Find<wxRadioButton>(dlg, IDC_LOADER_NEW_FILE));
        return wxID_OK;
    });
    EXPECT_EQ(m_store->Get(platform::kLoader), 1);
}

TEST_F(GeneralPageTest, MinimizedStartWorksWithoutAutomaticStart)
{
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        EXPECT_TRUE(IsEnabled(dlg, IDC_MINIMIZED));
        Click(Find<wxCheckBox>(dlg, IDC_MINIMIZED), true);
        return wxID_OK;
    });
    EXPECT_EQ(m_store->Get(platform::kMinimized), 1);
    EXPECT_EQ(m_store->Get(platform::kAutorun), 0);
    EXPECT_FALSE(Exists(m_entry));
}

TEST_F(GeneralPageTest, AutomaticStartWritesRewritesAndRemovesTheEntry)
{
    ASSERT_EQ(SetAutorun(true), wxID_OK);
    EXPECT_EQ(m_store->Get(platform::kAutorun), 1);
    const std::string expected = platform::AutostartDesktopEntry("Palimbor", platform::ExecutablePath());
    EXPECT_EQ(ReadWholeFile(m_entry), expected);
    // Written before "Autorun", which comes between "Loader" and "Minimized".
    EXPECT_EQ(m_store->Writes(), (std::vector<std::string>{"write Common/Loader=0", "write Common/Autorun=1",
                                                           "write Common/Minimized=0", "write Common/TrayIcon=0"}));

    // The program moved: the next OK with the switch on puts the current path back.
    WriteWholeFile(m_entry, "[Desktop Entry]\nType=Application\nExec=/old/place/recorder\n");
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        EXPECT_TRUE(IsChecked(dlg, IDC_AUTORUN));
        return wxID_OK;
    });
    EXPECT_EQ(ReadWholeFile(m_entry), expected);

    ASSERT_EQ(SetAutorun(false), wxID_OK);
    EXPECT_FALSE(Exists(m_entry));
    EXPECT_EQ(m_store->Get(platform::kAutorun), 0);

    // Already gone: still stored as off.
    m_store->Put(platform::kAutorun, 1);
    ASSERT_EQ(SetAutorun(false), wxID_OK);
    EXPECT_EQ(m_store->Get(platform::kAutorun), 0);
}

TEST_F(GeneralPageTest, OkOnTheRecordPageAloneLeavesTheEntryAlone)
{
    ASSERT_EQ(SetAutorun(true), wxID_OK);
    WriteWholeFile(m_entry, "stale");
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        dlg.SelectPage(1);
        return wxID_CANCEL;
    });
    m_store->ClearLog();
    RunSheet(m_sheet, [](CMySheetDialog&) { return wxID_OK; });
    EXPECT_EQ(ReadWholeFile(m_entry), "stale");
    for (const std::string& write : m_store->Writes())
        EXPECT_EQ(write.find("Common/"), std::string::npos) << write;
}

TEST_F(GeneralPageTest, UnwritableAutostartFolderChangesNeitherEntryNorSetting)
{
    WriteWholeFile(m_config.Path() + "/autostart", "a file where the folder should be");
    ASSERT_EQ(SetAutorun(true), wxID_OK);
    EXPECT_FALSE(m_store->Has(platform::kAutorun));
    // Loader and Minimized are saved as usual.
    EXPECT_TRUE(m_store->Has(platform::kLoader));
    EXPECT_TRUE(m_store->Has(platform::kMinimized));
    // The switch stays on in memory and shows so at the next opening.
    EXPECT_TRUE(m_sheet.GeneralPage().Autorun());
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        EXPECT_TRUE(IsChecked(dlg, IDC_AUTORUN));
        return wxID_CANCEL;
    });
}

TEST_F(GeneralPageTest, TrayIconSwitchIsGreyedWithANoteWhereTheDesktopHasNoNotificationArea)
{
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        // The test display has no notification area unless a tray host runs on it.
        const bool available = wxTaskBarIcon::IsAvailable();
        EXPECT_EQ(IsEnabled(dlg, IDC_TRAY_ICON), available);
        EXPECT_EQ(dlg.FindWindow(IDC_TRAY_NOTE) != nullptr, !available);
        return wxID_CANCEL;
    });
}
