// The recording-format tables and rules, and the values the two pages read at construction.

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <string>

#include "platform/ProfileKeys.h"
#include "settings/PageCom.h"
#include "settings/PageRec.h"
#include "settings/RecordSettings.h"
#include "settings/RecordingStore.h"
#include "support/DecimalCommaLocale.h"

namespace rf = record_format;
using settings_test::ScopedRecordingStore;

namespace {

struct StepRow {
    int kbps;
    const char* preset;
    int autoIndex;
    const char* estimate;
};

const StepRow kRows[rf::kBitrateSteps] = {
    {8, "Phone-", 0, "1 минута записи - 0.06 Mb, 1 час - 3.5 Mb ( Phone- );"},
    {16, "Phone", 0, "1 минута записи - 0.12 Mb, 1 час - 7.0 Mb ( Phone );"},
    {24, "MW-EU", 1, "1 минута записи - 0.18 Mb, 1 час - 10.5 Mb ( MW-EU );"},
    {32, "AM radio", 1, "1 минута записи - 0.23 Mb, 1 час - 14.1 Mb ( AM radio );"},
    {48, "MW-US", 2, "1 минута записи - 0.35 Mb, 1 час - 21.1 Mb ( MW-US );"},
    {64, "Voice", 2, "1 минута записи - 0.47 Mb, 1 час - 28.1 Mb ( Voice );"},
    {96, "FM radio", 3, "1 минута записи - 0.70 Mb, 1 час - 42.2 Mb ( FM radio );"},
    {128, "Tape", 3, "1 минута записи - 0.94 Mb, 1 час - 56.2 Mb ( Tape );"},
    {160, "HiFi", 3, "1 минута записи - 1.17 Mb, 1 час - 70.3 Mb ( HiFi );"},
    {192, "CD", 3, "1 минута записи - 1.41 Mb, 1 час - 84.4 Mb ( CD );"},
    {256, "CD+", 3, "1 минута записи - 1.88 Mb, 1 час - 112.5 Mb ( CD+ );"},
};

// The same text through the C library in the C locale, as a second opinion on the rounding.
std::string PrintfEstimate(int step)
{
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, "1 минута записи - %3.2f Mb, 1 час - %3.1f Mb ( %s );",
                  rf::MegabytesPerMinute(step), rf::MegabytesPerHour(step), rf::PresetName(step));
    return buffer;
}

}  // namespace

TEST(RecordFormat, EveryStepHasItsRateNameRuleAndEstimate)
{
    for (int step = 0; step < rf::kBitrateSteps; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const StepRow& row = kRows[step];
        EXPECT_EQ(rf::BitrateKbps(step), row.kbps);
        EXPECT_STREQ(rf::PresetName(step), row.preset);
        EXPECT_EQ(rf::AutoFreqIndex(row.kbps), row.autoIndex);
        EXPECT_EQ(rf::SizeEstimateText(step), row.estimate);
        EXPECT_EQ(rf::SizeEstimateText(step), PrintfEstimate(step));
        // 15/2048 Mb per kbps and minute is exact in a float.
        EXPECT_DOUBLE_EQ(rf::MegabytesPerMinute(step), row.kbps * 15.0 / 2048.0);
        EXPECT_DOUBLE_EQ(rf::MegabytesPerHour(step), row.kbps * 15.0 / 2048.0 * 60.0);
    }
}

TEST(RecordFormat, SampleRateTable)
{
    EXPECT_EQ(rf::SampleRateHz(0), 8000);
    EXPECT_EQ(rf::SampleRateHz(1), 11025);
    EXPECT_EQ(rf::SampleRateHz(2), 22050);
    EXPECT_EQ(rf::SampleRateHz(3), 44100);
}

TEST(RecordFormat, AutomaticRuleBoundaries)
{
    EXPECT_EQ(rf::AutoFreqIndex(16), 0);
    EXPECT_EQ(rf::AutoFreqIndex(17), 1);
    EXPECT_EQ(rf::AutoFreqIndex(24), 1);
    EXPECT_EQ(rf::AutoFreqIndex(32), 1);
    EXPECT_EQ(rf::AutoFreqIndex(33), 2);
    EXPECT_EQ(rf::AutoFreqIndex(48), 2);
    EXPECT_EQ(rf::AutoFreqIndex(64), 2);
    EXPECT_EQ(rf::AutoFreqIndex(65), 3);
    EXPECT_EQ(rf::AutoFreqIndex(96), 3);
    // The default step and the default rate agree.
    EXPECT_EQ(rf::AutoFreqIndex(rf::BitrateKbps(RecordSettings{}.m_nBitrate)),
              RecordSettings{}.m_nSampleFreq);
}

TEST(RecordFormat, AutomaticChoiceIsAlwaysAllowedByHand)
{
    for (int step = 0; step < rf::kBitrateSteps; ++step) {
        const int kbps = rf::BitrateKbps(step);
        const int index = rf::AutoFreqIndex(kbps);
        const rf::ManualFreqChoice choice = rf::ManualFreqRule(kbps, index);
        EXPECT_EQ(choice.index, index) << kbps;
        EXPECT_TRUE(index < 2 ? choice.lowAllowed : choice.highAllowed) << kbps;
        // Only 32 kbps allows both halves.
        EXPECT_EQ(choice.lowAllowed && choice.highAllowed, kbps == 32) << kbps;
    }
}

TEST(RecordFormat, ManualRuleMovesTheSelectionIntoTheAllowedRates)
{
    // 32 kbps at 44100 Hz, down to 24 kbps: 11025 Hz.
    EXPECT_EQ(rf::ManualFreqRule(24, 3).index, 1);
    // 32 kbps at 8000 Hz, up to 48 kbps: 22050 Hz.
    EXPECT_EQ(rf::ManualFreqRule(48, 0).index, 2);
    // 48 kbps at 44100 Hz, down to 32 kbps: kept.
    EXPECT_EQ(rf::ManualFreqRule(32, 3).index, 3);
    // 24 kbps at 8000 Hz, down to 16 kbps: kept.
    EXPECT_EQ(rf::ManualFreqRule(16, 0).index, 0);
    EXPECT_EQ(rf::ManualFreqRule(256, 3).index, 3);
    EXPECT_EQ(rf::ManualFreqRule(8, 1).index, 1);
    const rf::ManualFreqChoice high = rf::ManualFreqRule(64, 2);
    EXPECT_FALSE(high.lowAllowed);
    EXPECT_TRUE(high.highAllowed);
    const rf::ManualFreqChoice low = rf::ManualFreqRule(16, 0);
    EXPECT_TRUE(low.lowAllowed);
    EXPECT_FALSE(low.highAllowed);
}

TEST(RecordFormat, ManualRuleWithNothingSelectedTakesTheAutomaticChoice)
{
    EXPECT_EQ(rf::ManualFreqRule(32, -1).index, 1);
    EXPECT_EQ(rf::ManualFreqRule(32, 4).index, 1);
    EXPECT_EQ(rf::ManualFreqRule(8, -1).index, 1);
    EXPECT_EQ(rf::ManualFreqRule(128, 17).index, 2);
}

TEST(RecordFormat, OutOfRangeStepsAndIndicesAreClamped)
{
    EXPECT_EQ(rf::BitrateKbps(-1), 8);
    EXPECT_EQ(rf::BitrateKbps(INT_MIN), 8);
    EXPECT_EQ(rf::BitrateKbps(11), 256);
    EXPECT_EQ(rf::BitrateKbps(INT_MAX), 256);
    EXPECT_STREQ(rf::PresetName(99), "CD+");
    EXPECT_STREQ(rf::PresetName(-4), "Phone-");
    EXPECT_EQ(rf::SizeEstimateText(42), rf::SizeEstimateText(10));
    EXPECT_EQ(rf::SampleRateHz(4), 44100);
    EXPECT_EQ(rf::SampleRateHz(-5), 8000);
    EXPECT_EQ(rf::ClampStereoMode(7), 1);
    EXPECT_EQ(rf::ClampStereoMode(-1), 0);
    EXPECT_EQ(rf::NormalizeSwitch(-1), 1);
    EXPECT_EQ(rf::NormalizeSwitch(0), 0);
}

TEST(RecordFormat, EstimateKeepsItsDecimalPointInAnyLocale)
{
    std::string text;
    {
        testing_support::DecimalCommaLocale comma;
        ASSERT_TRUE(comma.Active()) << comma.Error();
        text = rf::SizeEstimateText(3);
    }
    EXPECT_EQ(text, kRows[3].estimate);
}

TEST(RecordPageValues, EmptyStoreGivesThirtyTwoKbpsMonoAutomaticRate)
{
    ScopedRecordingStore store;
    const CPageRec page;
    EXPECT_EQ(page.GetBitrate(), 32000);
    EXPECT_EQ(page.GetSampleRate(), 11025);
    EXPECT_EQ(page.GetStereoMode(), 0);
    EXPECT_EQ(page.Settings().m_bAutoFreq, 1);
    // Its four keys only: the sources and the hands-free keys belong to pages of their own.
    EXPECT_EQ(store->Log(), (std::vector<std::string>{"read Record/Bitrate", "read Record/Stereo mode",
                                                      "read Record/SampleFreq", "read Record/Auto freq"}));
}

TEST(RecordPageValues, StoredIndicesAreReadAsIndices)
{
    ScopedRecordingStore store;
    store->Put(platform::kBitrate, 9);
    store->Put(platform::kStereoMode, 1);
    store->Put(platform::kSampleFreq, 3);
    store->Put(platform::kAutoFreq, 0);
    const CPageRec page;
    EXPECT_EQ(page.GetBitrate(), 192000);
    EXPECT_EQ(page.GetSampleRate(), 44100);
    EXPECT_EQ(page.GetStereoMode(), 1);
    EXPECT_EQ(page.Settings().m_bAutoFreq, 0);
}

TEST(RecordPageValues, OutOfRangeStoredValuesAreClampedAndSavedBackInRange)
{
    ScopedRecordingStore store;
    store->Put(platform::kBitrate, 25);
    store->Put(platform::kStereoMode, -2);
    store->Put(platform::kSampleFreq, 9);
    store->Put(platform::kAutoFreq, 5);
    CPageRec page;
    EXPECT_EQ(page.GetBitrate(), 256000);
    EXPECT_EQ(page.GetStereoMode(), 0);
    EXPECT_EQ(page.GetSampleRate(), 44100);
    EXPECT_EQ(page.Settings().m_nBitrate, 10);
    EXPECT_EQ(page.Settings().m_nSampleFreq, 3);
    EXPECT_EQ(page.Settings().m_bAutoFreq, 1);

    store->Put(platform::kBitrate, -7);
    store->Put(platform::kSampleFreq, -1);
    store->Put(platform::kStereoMode, 3);
    const CPageRec low;
    EXPECT_EQ(low.GetBitrate(), 8000);
    EXPECT_EQ(low.GetSampleRate(), 8000);
    EXPECT_EQ(low.GetStereoMode(), 1);

    // Saving writes the clamped member, never the stray value.
    store->ClearLog();
    page.PersistBitrate(false);
    page.PersistSampleFreq(false);
    EXPECT_EQ(store->Writes(),
              (std::vector<std::string>{"write Record/Bitrate=10", "write Record/SampleFreq=3"}));
}

TEST(GeneralPageValues, ReadsLoaderAutorunMinimizedInOrder)
{
    ScopedRecordingStore store;
    store->Put(platform::kLoader, 2);
    store->Put(platform::kMinimized, 1);
    const CPageCom page;
    EXPECT_EQ(page.Loader(), 2);
    EXPECT_EQ(page.m_nLoader, 2);
    EXPECT_FALSE(page.Autorun());
    EXPECT_TRUE(page.Minimized());
    EXPECT_EQ(store->Log(), (std::vector<std::string>{"read Common/Loader", "read Common/Autorun",
                                                      "read Common/Minimized", "read Common/TrayIcon"}));
}

TEST(GeneralPageValues, UnknownStartupActionIsKeptSoThePanelTakesNoAction)
{
    ScopedRecordingStore store;
    store->Put(platform::kLoader, 7);
    store->Put(platform::kAutorun, -1);
    const CPageCom page;
    EXPECT_EQ(page.Loader(), 7);
    EXPECT_TRUE(page.Autorun());
    EXPECT_FALSE(page.Minimized());
}
