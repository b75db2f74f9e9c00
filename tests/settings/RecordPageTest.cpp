// The Record page inside the real sheet: the slider, the live size estimate, and the rate rules
// applied while the slider moves and while the thumb is dragged.

#include <gtest/gtest.h>

#include <memory>

#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/uiaction.h>

#include "platform/ProfileKeys.h"
#include "settings/PageControlIds.h"
#include "settings/RecordingStore.h"
#include "settings/SheetTestSupport.h"
#include "support/TempDir.h"

using namespace settings;
using namespace settings_test;

namespace {

class RecordPageTest : public ::testing::Test {
protected:
    // A sheet over the values stored so far, whose next opening starts on the Record page.
    CMySheet& Sheet()
    {
        if (!m_sheet)
            m_sheet = std::make_unique<CMySheet>(wxString::FromUTF8("Свойства"), nullptr, 1);
        return *m_sheet;
    }

    // The radio among 1021..1024 that is checked (-1 if none), and the enabled pattern of the four.
    static int CheckedRate(CMySheetDialog& dlg)
    {
        for (int i = 0; i < 4; ++i) {
            if (IsChecked(dlg, IDC_FREQ_8000 + i))
                return i;
        }
        return -1;
    }
    static std::string EnabledRates(CMySheetDialog& dlg)
    {
        std::string pattern;
        for (int i = 0; i < 4; ++i)
            pattern += IsEnabled(dlg, IDC_FREQ_8000 + i) ? '1' : '0';
        return pattern;
    }

    testing_support::TempDir m_config;
    testing_support::ScopedEnv m_xdg{"XDG_CONFIG_HOME", m_config.Path()};
    ScopedRecordingStore m_store;
    std::unique_ptr<CMySheet> m_sheet;
};

}  // namespace

TEST_F(RecordPageTest, OpensOnStoredStepWithAutomaticRate)
{
    m_store->Put(platform::kBitrate, 5);
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        EXPECT_EQ(dlg.ActivePage(), 1);
        EXPECT_EQ(Find<wxSlider>(dlg, IDC_BITRATE_SLIDER)->GetValue(), 5);
        EXPECT_EQ(Find<wxSlider>(dlg, IDC_BITRATE_SLIDER)->GetMax(), 10);
        EXPECT_EQ(LabelOf(dlg, IDC_SIZE_ESTIMATE), "1 минута записи - 0.47 Mb, 1 час - 28.1 Mb ( Voice );");
        EXPECT_EQ(CheckedRate(dlg), 2);
        EXPECT_EQ(EnabledRates(dlg), "0000");
        EXPECT_FALSE(IsEnabled(dlg, IDC_FREQ_GROUP));
        EXPECT_TRUE(IsChecked(dlg, IDC_AUTO_FREQ));
        EXPECT_TRUE(IsChecked(dlg, IDC_MONO));
        return wxID_CANCEL;
    });
}

TEST_F(RecordPageTest, AutomaticSwitchOffAndOnSetsEnabledStates)
{
    m_store->Put(platform::kBitrate, 5);
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        auto* autoFreq = Find<wxCheckBox>(dlg, IDC_AUTO_FREQ);
        // Off at 64 kbps: the two high rates, the group box, the rate kept.
        Click(autoFreq, false);
        EXPECT_EQ(EnabledRates(dlg), "0011");
        EXPECT_TRUE(IsEnabled(dlg, IDC_FREQ_GROUP));
        EXPECT_EQ(CheckedRate(dlg), 2);

        // Off at 32 kbps: all four.
        auto* slider = Find<wxSlider>(dlg, IDC_BITRATE_SLIDER);
        StepWithKey(slider, -1);
        StepWithKey(slider, -1);
        EXPECT_EQ(slider->GetValue(), 3);
        EXPECT_EQ(EnabledRates(dlg), "1111");
        EXPECT_EQ(CheckedRate(dlg), 2);

        // On at 32 kbps with 44,100 checked: 11,025, all disabled.
        Click(Find<wxRadioButton>(dlg, IDC_FREQ_44100));
        Click(autoFreq, true);
        EXPECT_EQ(CheckedRate(dlg), 1);
        EXPECT_EQ(EnabledRates(dlg), "0000");
        EXPECT_FALSE(IsEnabled(dlg, IDC_FREQ_GROUP));
        return wxID_CANCEL;
    });
}

TEST_F(RecordPageTest, ManualRuleFollowsArrowKeys)
{
    m_store->Put(platform::kAutoFreq, 0);
    m_store->Put(platform::kSampleFreq, 3);
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        auto* slider = Find<wxSlider>(dlg, IDC_BITRATE_SLIDER);
        EXPECT_EQ(EnabledRates(dlg), "1111");
        EXPECT_TRUE(IsEnabled(dlg, IDC_FREQ_GROUP));
        EXPECT_EQ(CheckedRate(dlg), 3);

        // 32 kbps at 44,100, one step left: 11,025 and only the low rates.
        StepWithKey(slider, -1);
        EXPECT_EQ(CheckedRate(dlg), 1);
        EXPECT_EQ(EnabledRates(dlg), "1100");
        EXPECT_EQ(LabelOf(dlg, IDC_SIZE_ESTIMATE), "1 минута записи - 0.18 Mb, 1 час - 10.5 Mb ( MW-EU );");

        // Back to 32 kbps, pick 8,000, one step right: 22,050.
        StepWithKey(slider, +1);
        EXPECT_EQ(EnabledRates(dlg), "1111");
        Click(Find<wxRadioButton>(dlg, IDC_FREQ_8000));
        StepWithKey(slider, +1);
        EXPECT_EQ(CheckedRate(dlg), 2);
        EXPECT_EQ(EnabledRates(dlg), "0011");

        // 48 kbps at 44,100 down to 32 keeps 44,100.
        Click(Find<wxRadioButton>(dlg, IDC_FREQ_44100));
        StepWithKey(slider, -1);
        EXPECT_EQ(CheckedRate(dlg), 3);
        return wxID_CANCEL;
    });
}

TEST_F(RecordPageTest, RateFollowsTheThumbWhileItIsDragged)
{
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        auto* slider = Find<wxSlider>(dlg, IDC_BITRATE_SLIDER);
        EXPECT_EQ(CheckedRate(dlg), 1);
        // Automatic: 22,050 as soon as the thumb reaches step 4, before it is released.
        DragThumb(slider, 4);
        EXPECT_EQ(slider->GetValue(), 4);
        EXPECT_EQ(CheckedRate(dlg), 2);
        EXPECT_EQ(LabelOf(dlg, IDC_SIZE_ESTIMATE), "1 минута записи - 0.35 Mb, 1 час - 21.1 Mb ( MW-US );");
        DragThumb(slider, 6);
        EXPECT_EQ(CheckedRate(dlg), 3);
        DragThumb(slider, 1);
        EXPECT_EQ(CheckedRate(dlg), 0);
        EXPECT_EQ(LabelOf(dlg, IDC_SIZE_ESTIMATE), "1 минута записи - 0.12 Mb, 1 час - 7.0 Mb ( Phone );");
        ReleaseThumb(slider, 10);
        EXPECT_EQ(slider->GetValue(), 10);
        EXPECT_EQ(CheckedRate(dlg), 3);
        EXPECT_EQ(LabelOf(dlg, IDC_SIZE_ESTIMATE), "1 минута записи - 1.88 Mb, 1 час - 112.5 Mb ( CD+ );");

        // By hand: dragging into the low half moves 44,100 down to 11,025 at once.
        Click(Find<wxCheckBox>(dlg, IDC_AUTO_FREQ), false);
        EXPECT_EQ(EnabledRates(dlg), "0011");
        DragThumb(slider, 0);
        EXPECT_EQ(CheckedRate(dlg), 1);
        EXPECT_EQ(EnabledRates(dlg), "1100");
        EXPECT_EQ(LabelOf(dlg, IDC_SIZE_ESTIMATE), "1 минута записи - 0.06 Mb, 1 час - 3.5 Mb ( Phone- );");
        // A position beyond the ends never leaves the table.
        DragThumb(slider, 40);
        EXPECT_EQ(slider->GetValue(), 10);
        return wxID_CANCEL;
    });
}

TEST_F(RecordPageTest, OkAfterOnlyLookingSavesAllFourInOrder)
{
    m_store->Put(platform::kBitrate, 5);
    m_store->Put(platform::kSampleFreq, 0);  // disagrees with the automatic rule
    EXPECT_EQ(RunSheet(Sheet(), [](CMySheetDialog&) { return wxID_OK; }), wxID_OK);
    EXPECT_EQ(m_store->Writes(),
              (std::vector<std::string>{"write Record/Bitrate=5", "write Record/Stereo mode=0",
                                        "write Record/SampleFreq=2", "write Record/Auto freq=1"}));
    EXPECT_EQ(Sheet().RecordPage().GetSampleRate(), 22050);
}

TEST_F(RecordPageTest, OkTakesSliderAndControls)
{
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        DragThumb(Find<wxSlider>(dlg, IDC_BITRATE_SLIDER), 7);
        Click(Find<wxRadioButton>(dlg, IDC_STEREO));
        return wxID_OK;
    });
    EXPECT_EQ(Sheet().RecordPage().GetBitrate(), 128000);
    EXPECT_EQ(Sheet().RecordPage().GetStereoMode(), 1);
    EXPECT_EQ(Sheet().RecordPage().GetSampleRate(), 44100);
    EXPECT_EQ(m_store->Get(platform::kBitrate), 7);
    EXPECT_EQ(m_store->Get(platform::kStereoMode), 1);
    EXPECT_EQ(m_store->Get(platform::kSampleFreq), 3);
}

TEST_F(RecordPageTest, CancelLeavesBitrateAndNextOpeningShowsOldStep)
{
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        DragThumb(Find<wxSlider>(dlg, IDC_BITRATE_SLIDER), 9);
        // Leaving the page does not take the slider either.
        dlg.SelectPage(0);
        return wxID_CANCEL;
    });
    EXPECT_EQ(Sheet().RecordPage().GetBitrate(), 32000);
    EXPECT_TRUE(m_store->Writes().empty());
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        dlg.SelectPage(1);
        EXPECT_EQ(Find<wxSlider>(dlg, IDC_BITRATE_SLIDER)->GetValue(), 3);
        return wxID_CANCEL;
    });
}

TEST_F(RecordPageTest, StereoChosenThenPageLeftSurvivesCancelUnsaved)
{
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        Click(Find<wxRadioButton>(dlg, IDC_STEREO));
        Click(Find<wxCheckBox>(dlg, IDC_AUTO_FREQ), false);
        Click(Find<wxRadioButton>(dlg, IDC_FREQ_8000));
        dlg.SelectPage(0);
        return wxID_CANCEL;
    });
    EXPECT_EQ(Sheet().RecordPage().GetStereoMode(), 1);
    EXPECT_EQ(Sheet().RecordPage().GetSampleRate(), 8000);
    EXPECT_FALSE(m_store->Has(platform::kStereoMode));
    EXPECT_TRUE(m_store->Writes().empty());

    // The sheet was cancelled on the General page; the Record page shows the values in memory.
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        EXPECT_EQ(dlg.ActivePage(), 0);
        dlg.SelectPage(1);
        EXPECT_TRUE(IsChecked(dlg, IDC_STEREO));
        EXPECT_FALSE(IsChecked(dlg, IDC_AUTO_FREQ));
        EXPECT_TRUE(IsChecked(dlg, IDC_FREQ_8000));
        EXPECT_EQ(EnabledRates(dlg), "1111");
        return wxID_CANCEL;
    });
}

TEST_F(RecordPageTest, CancelOnTheRecordPageItselfKeepsItsControlsOut)
{
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        Click(Find<wxRadioButton>(dlg, IDC_STEREO));
        return wxID_CANCEL;
    });
    EXPECT_EQ(Sheet().RecordPage().GetStereoMode(), 0);
}

TEST_F(RecordPageTest, ReturningToThePageRestoresItsControlsFromMembers)
{
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        Click(Find<wxRadioButton>(dlg, IDC_STEREO));
        dlg.SelectPage(0);
        dlg.SelectPage(1);
        EXPECT_TRUE(IsChecked(dlg, IDC_STEREO));
        EXPECT_EQ(Find<wxSlider>(dlg, IDC_BITRATE_SLIDER)->GetValue(), 3);
        return wxID_OK;
    });
    EXPECT_EQ(m_store->Get(platform::kStereoMode), 1);
}

TEST_F(RecordPageTest, OutOfRangeStoredValuesOpenAtTheEndsOfTheRanges)
{
    m_store->Put(platform::kBitrate, 42);
    m_store->Put(platform::kSampleFreq, -3);
    m_store->Put(platform::kAutoFreq, 0);
    RunSheet(Sheet(), [](CMySheetDialog& dlg) {
        EXPECT_EQ(Find<wxSlider>(dlg, IDC_BITRATE_SLIDER)->GetValue(), 10);
        EXPECT_EQ(LabelOf(dlg, IDC_SIZE_ESTIMATE), "1 минута записи - 1.88 Mb, 1 час - 112.5 Mb ( CD+ );");
        // 8000 Hz (the clamped index) is not allowed at 256 kbps: the manual rule moves it.
        EXPECT_EQ(CheckedRate(dlg), 2);
        EXPECT_EQ(EnabledRates(dlg), "0011");
        return wxID_OK;
    });
    EXPECT_EQ(m_store->Get(platform::kBitrate), 10);
    EXPECT_EQ(m_store->Get(platform::kSampleFreq), 2);
}

TEST_F(RecordPageTest, RealMouseDragChangesTheRateBeforeTheButtonIsReleased)
{
    const int result = RunSheetOnScreen(Sheet(), [](CMySheetDialog& dlg) {
        Settle(30);
        auto* slider = Find<wxSlider>(dlg, IDC_BITRATE_SLIDER);
        if (slider == nullptr)
            return;
        const wxRect track = slider->GetScreenRect();
        const int y = track.y + track.height / 2;
        // The thumb runs between the ends less about half its width on each side; a press on the
        // track puts the thumb under the pointer, so these positions need not be exact.
        auto xOf = [&track](int step) { return track.x + 10 + (track.width - 20) * step / 10; };

        wxUIActionSimulator input;
        input.MouseMove(xOf(3), y);
        Settle(5);
        input.MouseDown();
        Settle(5);
        input.MouseMove(xOf(3) + 5, y);
        Settle(5);
        input.MouseMove(xOf(4), y);
        Settle(10);
        EXPECT_EQ(slider->GetValue(), 4);
        EXPECT_EQ(CheckedRate(dlg), 2);
        EXPECT_EQ(LabelOf(dlg, IDC_SIZE_ESTIMATE),
                  "1 минута записи - 0.35 Mb, 1 час - 21.1 Mb ( MW-US );");
        input.MouseUp();
        Settle(10);
    }, wxID_OK);
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(Sheet().RecordPage().GetBitrate(), 48000);
    EXPECT_EQ(Sheet().RecordPage().GetSampleRate(), 22050);
}
