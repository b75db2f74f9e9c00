// The sheet's openings: which page it opens on, when page windows exist, what OK and Cancel
// save, and the real modal loop with its buttons.

#include <gtest/gtest.h>

#include <iterator>
#include <memory>

#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/radiobut.h>

#include "platform/ProfileKeys.h"
#include "settings/PageControlIds.h"
#include "settings/RecordingStore.h"
#include "settings/SheetTestSupport.h"
#include "support/TempDir.h"

using namespace settings;
using namespace settings_test;

namespace {

class SheetTest : public ::testing::Test {
protected:
    testing_support::TempDir m_config;
    testing_support::ScopedEnv m_xdg{"XDG_CONFIG_HOME", m_config.Path()};
    ScopedRecordingStore m_store;
    CMySheet m_sheet;
};

std::vector<std::string> WritesOf(const std::vector<std::string>& writes, const std::string& section)
{
    std::vector<std::string> picked;
    for (const std::string& w : writes) {
        if (w.rfind("write " + section + "/", 0) == 0)
            picked.push_back(w);
    }
    return picked;
}

}  // namespace

TEST_F(SheetTest, FirstOpeningShowsOnlyTheGeneralPage)
{
    EXPECT_EQ(m_sheet.LastPage(), 0);
    EXPECT_EQ(m_sheet.OpenDialog(), nullptr);
    const int result = RunSheet(m_sheet, [this](CMySheetDialog& dlg) {
        EXPECT_EQ(m_sheet.OpenDialog(), &dlg);
        EXPECT_EQ(m_sheet.DoModal(), wxID_CANCEL);  // already open
        EXPECT_EQ(m_sheet.OpenDialog(), &dlg);
        EXPECT_EQ(dlg.GetTitle(), wxString::FromUTF8("Свойства"));
        EXPECT_EQ(dlg.ActivePage(), 0);
        // The two first pages keep their places; what was added comes after them.
        const char* const captions[] = {"Общие", "Запись", "Источники", "Автозапись"};
        EXPECT_EQ(dlg.GetBookCtrl()->GetPageCount(), std::size(captions));
        for (std::size_t i = 0; i < std::size(captions); ++i)
            EXPECT_EQ(dlg.GetBookCtrl()->GetPageText(i), wxString::FromUTF8(captions[i]));
        // OK and Cancel, no Apply.
        EXPECT_NE(dlg.FindControl(wxID_OK), nullptr);
        EXPECT_NE(dlg.FindControl(wxID_CANCEL), nullptr);
        EXPECT_EQ(dlg.FindControl(wxID_APPLY), nullptr);
        // The General page is built with its defaults; the Record page does not exist yet.
        EXPECT_TRUE(m_sheet.GeneralPage().HasWindow());
        EXPECT_FALSE(m_sheet.RecordPage().HasWindow());
        EXPECT_EQ(m_sheet.FindControl(IDC_BITRATE_SLIDER), nullptr);
        EXPECT_TRUE(IsChecked(dlg, IDC_LOADER_NOTHING));
        EXPECT_FALSE(IsChecked(dlg, IDC_AUTORUN));
        EXPECT_FALSE(IsChecked(dlg, IDC_MINIMIZED));
        return wxID_CANCEL;
    });
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(m_sheet.OpenDialog(), nullptr);
    EXPECT_FALSE(m_sheet.GeneralPage().HasWindow());
    EXPECT_EQ(m_sheet.FindControl(IDC_LOADER_NOTHING), nullptr);
}

TEST_F(SheetTest, ReopensOnThePageActiveWhenClosed)
{
    RunSheet(m_sheet, [this](CMySheetDialog& dlg) {
        EXPECT_TRUE(dlg.SelectPage(3));
        EXPECT_TRUE(m_sheet.AutoPage().HasWindow());
        EXPECT_NE(dlg.FindControl(IDC_KEEP_AWAKE), nullptr);
        EXPECT_FALSE(dlg.SelectPage(4));
        return wxID_CANCEL;
    });
    EXPECT_EQ(m_sheet.LastPage(), 3);
    RunSheet(m_sheet, [this](CMySheetDialog& dlg) {
        EXPECT_EQ(dlg.ActivePage(), 3);
        EXPECT_TRUE(m_sheet.AutoPage().HasWindow());
        // Index 1 is still the Record page with the format.
        dlg.SelectPage(1);
        EXPECT_NE(dlg.FindControl(IDC_BITRATE_SLIDER), nullptr);
        return wxID_CANCEL;
    });
    EXPECT_EQ(m_sheet.LastPage(), 1);
    RunSheet(m_sheet, [this](CMySheetDialog& dlg) {
        EXPECT_EQ(dlg.ActivePage(), 1);
        EXPECT_TRUE(m_sheet.RecordPage().HasWindow());
        EXPECT_FALSE(m_sheet.GeneralPage().HasWindow());
        dlg.SelectPage(0);
        return wxID_OK;
    });
    EXPECT_EQ(m_sheet.LastPage(), 0);
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        EXPECT_EQ(dlg.ActivePage(), 0);
        return wxID_CANCEL;
    });
}

TEST_F(SheetTest, OkSavesOnlyThePagesShownInThatOpening)
{
    RunSheet(m_sheet, [](CMySheetDialog&) { return wxID_OK; });
    EXPECT_EQ(m_store->Writes(), (std::vector<std::string>{"write Common/Loader=0", "write Common/Autorun=0",
                                                           "write Common/Minimized=0", "write Common/TrayIcon=0"}));

    m_store->ClearLog();
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        dlg.SelectPage(1);
        return wxID_OK;
    });
    EXPECT_EQ(m_store->Writes(),
              (std::vector<std::string>{"write Common/Loader=0", "write Common/Autorun=0",
                                        "write Common/Minimized=0", "write Common/TrayIcon=0", "write Record/Bitrate=3",
                                        "write Record/Stereo mode=0", "write Record/SampleFreq=1",
                                        "write Record/Auto freq=1"}));

    // Opens on the Record page now; OK there touches nothing of the General page.
    m_store->ClearLog();
    RunSheet(m_sheet, [](CMySheetDialog&) { return wxID_OK; });
    EXPECT_TRUE(WritesOf(m_store->Writes(), "Common").empty());
    EXPECT_EQ(WritesOf(m_store->Writes(), "Record").size(), 4u);
}

TEST_F(SheetTest, CancelSavesNothing)
{
    RunSheet(m_sheet, [](CMySheetDialog& dlg) {
        Click(Find<wxRadioButton>(dlg, IDC_LOADER_LAST_FILE));
        dlg.SelectPage(1);
        Click(Find<wxRadioButton>(dlg, IDC_STEREO));
        return wxID_CANCEL;
    });
    EXPECT_TRUE(m_store->Writes().empty());
    // The General page was left, so its choice is in memory; nothing was saved.
    EXPECT_EQ(m_sheet.GeneralPage().Loader(), 2);
    EXPECT_FALSE(m_store->Has(platform::kLoader));
}

TEST_F(SheetTest, RealModalLoopClosedWithTheOkButton)
{
    const int result = RunSheetOnScreen(m_sheet, [](CMySheetDialog& dlg) {
        EXPECT_TRUE(dlg.IsModal());
        // A tab change through the notebook itself, as a click on the tab makes it.
        dlg.GetBookCtrl()->SetSelection(1);
        Click(Find<wxRadioButton>(dlg, IDC_STEREO));
        wxWindow* ok = dlg.FindControl(wxID_OK);
        if (ok == nullptr)
            return;
        wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
        click.SetEventObject(ok);
        ok->GetEventHandler()->ProcessEvent(click);
        EXPECT_FALSE(dlg.IsModal());
    }, wxID_CANCEL);
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(m_sheet.LastPage(), 1);
    EXPECT_EQ(m_sheet.RecordPage().GetStereoMode(), 1);
    EXPECT_EQ(m_store->Get(platform::kStereoMode), 1);
    EXPECT_TRUE(m_store->Has(platform::kLoader));
}

TEST_F(SheetTest, RealModalLoopClosedByTheWindowIsCancel)
{
    const int result = RunSheetOnScreen(m_sheet, [this](CMySheetDialog& dlg) {
        dlg.GetBookCtrl()->SetSelection(1);
        EXPECT_TRUE(m_sheet.RecordPage().HasWindow());
        dlg.Close();
        EXPECT_FALSE(dlg.IsModal());
    }, wxID_OK);
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(m_sheet.LastPage(), 1);
    EXPECT_TRUE(m_store->Writes().empty());
}
