// The pages after the format, "Источники" and "Автозапись", while SDL does the sound (no
// sound server of the program's own), and the layout of every page on screen.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/display.h>
#include <wx/radiobut.h>

#include "platform/ProfileKeys.h"
#include "settings/PageControlIds.h"
#include "settings/RecordingStore.h"
#include "settings/SheetTestSupport.h"
#include "support/TempDir.h"

using namespace settings;
using namespace settings_test;

namespace {

class AddedPagesTest : public ::testing::Test {
protected:
    // A sheet over the values stored so far, whose first opening starts on page.
    CMySheet& Sheet(int page)
    {
        if (!m_sheet)
            m_sheet = std::make_unique<CMySheet>(wxString::FromUTF8("Свойства"), nullptr, page);
        return *m_sheet;
    }

    testing_support::TempDir m_config;
    testing_support::ScopedEnv m_xdg{"XDG_CONFIG_HOME", m_config.Path()};
    ScopedRecordingStore m_store;
    std::unique_ptr<CMySheet> m_sheet;
};

}  // namespace

TEST_F(AddedPagesTest, WithoutTheServerTheSecondListOffersOnlyNoneAndApartFollowsTheChannels)
{
    m_store->Put(platform::kSecondSource, "dr_elsewhere");
    m_store->Put(platform::kSourcesApart, 1);
    // OK after only looking writes none of the three keys: a stored 1 with mono stays.
    RunSheet(Sheet(CMySheet::kSourcesPage), [](CMySheetDialog&) { return wxID_OK; });
    EXPECT_TRUE(m_store->Writes().empty());
    RunSheet(Sheet(CMySheet::kSourcesPage), [](CMySheetDialog& dlg) {
        EXPECT_EQ(EntriesOf(dlg, IDC_SOURCE), std::vector<std::string>{"По умолчанию"});
        EXPECT_EQ(EntriesOf(dlg, IDC_SECOND_SOURCE), std::vector<std::string>{"Нет"});
        EXPECT_EQ(LabelOf(dlg, IDC_SOURCE_NOW), "Записывается: По умолчанию");
        // Mono: the stored choice is shown, greyed.
        EXPECT_TRUE(IsChecked(dlg, IDC_SOURCES_APART));
        EXPECT_FALSE(IsEnabled(dlg, IDC_SOURCES_APART));
        dlg.SelectPage(CMySheet::kRecordPage);
        Click(Find<wxRadioButton>(dlg, IDC_STEREO));
        dlg.SelectPage(CMySheet::kSourcesPage);
        EXPECT_TRUE(IsEnabled(dlg, IDC_SOURCES_APART));
        Click(Find<wxCheckBox>(dlg, IDC_SOURCES_APART), false);
        return wxID_OK;
    });
    // The untouchable second list leaves the stored source alone; the box was changed.
    EXPECT_EQ(m_store->Writes().back(), "write Record/SourcesApart=0");
    EXPECT_EQ(m_store->Get(platform::kSecondSource), "dr_elsewhere");
    EXPECT_EQ(Sheet(0).SourcesPage().GetSecondSource(), "");
}

TEST_F(AddedPagesTest, HandsFreeAndKeepAwakeHaveTheirOwnPage)
{
    RunSheet(Sheet(CMySheet::kRecordPage), [](CMySheetDialog& dlg) {
        EXPECT_EQ(dlg.FindControl(IDC_VOICE_ACTIVATED), nullptr);
        dlg.SelectPage(CMySheet::kAutoPage);
        EXPECT_NE(dlg.FindControl(IDC_VOICE_ACTIVATED), nullptr);
        EXPECT_TRUE(IsChecked(dlg, IDC_KEEP_AWAKE));
        Click(Find<wxCheckBox>(dlg, IDC_KEEP_AWAKE), false);
        // Left before OK: the change still counts.
        dlg.SelectPage(CMySheet::kGeneralPage);
        return wxID_OK;
    });
    EXPECT_EQ(m_store->Get(platform::kKeepAwake), 0);
    EXPECT_FALSE(Sheet(0).AutoPage().GetKeepAwake());
}

// Splitting into files: stored values out of range (below or above it) read as off or the top of the range, never
// as a split on every frame; looking and OK writes nothing, a box ticked writes its number.
TEST_F(AddedPagesTest, SplitSettingsAreReadWithinTheirRangesAndWrittenWhenChanged)
{
    m_store->Put(platform::kSplitMinutes, -5);
    m_store->Put(platform::kSplitMegabytes, 99999);
    m_store->Put(platform::kSplitOnHour, 7);
    EXPECT_EQ(Sheet(CMySheet::kAutoPage).AutoPage().Split().Minutes(), 0);
    EXPECT_EQ(Sheet(0).AutoPage().Split().Megabytes(), 4000);
    EXPECT_TRUE(Sheet(0).AutoPage().Split().OnHour());
    RunSheet(Sheet(CMySheet::kAutoPage), [](CMySheetDialog&) { return wxID_OK; });
    EXPECT_TRUE(m_store->Writes().empty());
    RunSheet(Sheet(CMySheet::kAutoPage), [](CMySheetDialog& dlg) {
        EXPECT_FALSE(IsChecked(dlg, IDC_SPLIT_BY_MINUTES));
        EXPECT_FALSE(IsEnabled(dlg, IDC_SPLIT_MINUTES));
        EXPECT_TRUE(IsChecked(dlg, IDC_SPLIT_BY_MEGABYTES));
        Click(Find<wxCheckBox>(dlg, IDC_SPLIT_BY_MINUTES), true);
        EXPECT_TRUE(IsEnabled(dlg, IDC_SPLIT_MINUTES));
        Click(Find<wxCheckBox>(dlg, IDC_SPLIT_ON_HOUR), false);
        return wxID_OK;
    });
    EXPECT_EQ(m_store->Get(platform::kSplitMinutes), 60);
    EXPECT_EQ(m_store->Get(platform::kSplitOnHour), 0);
    EXPECT_EQ(m_store->Get(platform::kSplitMegabytes), 99999);
    EXPECT_EQ(Sheet(0).AutoPage().Split().Minutes(), 60);
}

// Every page on screen, with a stored source whose name is longer than a line and has no space.
TEST_F(AddedPagesTest, LayoutEveryPageFitsTheSheetAndNoTextIsCut)
{
    m_store->Put(platform::kSource, "alsa_input.usb-Vendor_Very_Long_Headset_Name_0123456789ABCDEF-00."
                                    "analog-stereo.and-a-little-more-to-run-past-two-lines-of-the-page");
    m_store->Put(platform::kStereoMode, 1);
    RunSheetOnScreen(Sheet(0), [](CMySheetDialog& dlg) {
        // Run once more with GDK_SCALE=2 (settings_sheet_layout_200): each point is two pixels.
        if (const char* scale = std::getenv("GDK_SCALE")) {
            EXPECT_EQ(dlg.GetContentScaleFactor(), std::atof(scale));
        }
        for (int i = 0; i < CMySheet::kPageCount; ++i) {
            dlg.GetBookCtrl()->SetSelection(static_cast<std::size_t>(i));
            Settle(20);
            ExpectPageFits(dlg, i);
        }
        EXPECT_EQ(LabelOf(dlg, IDC_SOURCE_NOW).find('\n'), std::string("Записывается:").size())
            << LabelOf(dlg, IDC_SOURCE_NOW);
        EXPECT_TRUE(wxDisplay(0u).GetClientArea().Contains(dlg.GetScreenRect())) << "the sheet runs off the screen";
    }, wxID_CANCEL);
}
