// The level meter's traces, read pixel by pixel from its back buffer.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "PixelTestSupport.h"
#include "support/XInput.h"
#include "controls/ControlRect.h"
#include "controls/LevelMeter.h"
#include "res/ResourceIds.h"

namespace {

using namespace controls_test;

// Lit pixels expected: every (x, y) of the list.
std::string Pixels(const std::vector<std::pair<int, int>>& points)
{
    std::vector<std::pair<int, int>> sorted = points;
    std::sort(sorted.begin(), sorted.end(), [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
    std::string text;
    for (auto [x, y] : sorted)
        text += std::to_string(x) + "," + std::to_string(y) + "\n";
    return text;
}

// A horizontal run of the trace from x = 5 to 106: the polyline's last point (107) is its end
// and is not drawn, as with the system's line drawing.
std::vector<std::pair<int, int>> Row(int y, int from = 5)
{
    std::vector<std::pair<int, int>> points;
    for (int x = from; x <= 106; ++x)
        points.emplace_back(x, y);
    return points;
}

std::vector<std::pair<int, int>> Join(std::vector<std::pair<int, int>> a, const std::vector<std::pair<int, int>>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class LevelMeterTest : public ::testing::Test {
protected:
    TestFrame frame;
    // Where the panel puts it: 113 x 51 pixels.
    CLevelMeter* meter = new CLevelMeter(frame.Panel(), res::IDC_LEVEL_METER, controls::EdgeRect(2, 26, 115, 77));
    static constexpr int kCount = 2304;
};

TEST_F(LevelMeterTest, StartsBlackAndSetupFollowsTheBufferSize)
{
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), "");
    EXPECT_EQ(meter->GetBufferWidth(), 113);
    EXPECT_EQ(meter->GetBufferHeight(), 51);
    meter->SetupTrace(2304, 16, 0);
    EXPECT_EQ(meter->GetStep(), 20);
    EXPECT_FLOAT_EQ(meter->GetScale(), 51.0f / 65535.0f);
    meter->SetupTrace(1152, 16, 1);
    EXPECT_EQ(meter->GetStep(), 10);
    EXPECT_FLOAT_EQ(meter->GetScale(), 51.0f / 65535.0f / 2.0f);
}

TEST_F(LevelMeterTest, SilenceIsAFlatLineInTheMiddle)
{
    const std::vector<std::int16_t> zeros(kCount, 0);
    meter->SetupTrace(kCount, 16, 0);
    meter->DrawSamples(zeros.data());
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), Pixels(Row(25)));
    EXPECT_TRUE(IsRgb(meter->GetBackBufferImage(), 50, 25, 0, 200, 0));

    meter->SetupTrace(kCount, 16, 1);
    meter->DrawSamples(zeros.data());
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), Pixels(Join(Row(12), Row(38))));
}

TEST_F(LevelMeterTest, FullScaleValuesReachTheEdges)
{
    meter->SetupTrace(kCount, 16, 0);
    // 32767: 25 + 25.4996 truncates to 50. The first line runs down from the base line.
    const std::vector<std::int16_t> high(kCount, 32767);
    meter->DrawSamples(high.data());
    std::vector<std::pair<int, int>> down;
    for (int y = 25; y < 50; ++y)
        down.emplace_back(5, y);
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), Pixels(Join(down, Row(50))));

    // -32768: 25 - 25.5004 is -0.5004, which truncates toward zero to 0.
    const std::vector<std::int16_t> low(kCount, -32768);
    meter->DrawSamples(low.data());
    std::vector<std::pair<int, int>> up;
    for (int y = 25; y > 0; --y)
        up.emplace_back(5, y);
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), Pixels(Join(up, Row(0))));
}

TEST_F(LevelMeterTest, ReadsEveryStepthValueFromColumnFiveOn)
{
    // Silence exactly where the meter should read, full scale everywhere else: any other index
    // read would bend the line.
    std::vector<std::int16_t> mono(kCount, -32768);
    for (int x = 5; x <= 107; ++x)
        mono[static_cast<std::size_t>(x * 20)] = 0;  // 100, 120, ..., 2140
    meter->SetupTrace(kCount, 16, 0);
    meter->DrawSamples(mono.data());
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), Pixels(Row(25)));

    std::vector<std::int16_t> stereo(kCount, 32767);
    for (int x = 5; x <= 107; ++x) {
        stereo[static_cast<std::size_t>(x * 20)] = 0;      // left: 100, ..., 2140
        stereo[static_cast<std::size_t>(x * 20 + 1)] = 0;  // right: 101, ..., 2141
    }
    meter->SetupTrace(kCount, 16, 1);
    meter->DrawSamples(stereo.data());
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), Pixels(Join(Row(12), Row(38))));
}

TEST_F(LevelMeterTest, StereoChannelsHaveTheirOwnTraces)
{
    // Left full positive, right full negative: the upper trace goes down to 24, the lower one
    // up to 25 (38 - 12.75 truncated).
    std::vector<std::int16_t> samples(kCount);
    for (int i = 0; i < kCount; i += 2) {
        samples[static_cast<std::size_t>(i)] = 32767;
        samples[static_cast<std::size_t>(i + 1)] = -32768;
    }
    meter->SetupTrace(kCount, 16, 1);
    meter->DrawSamples(samples.data());
    const wxImage image = meter->GetBackBufferImage();
    EXPECT_TRUE(IsRgb(image, 60, 24, 0, 200, 0));
    EXPECT_TRUE(IsRgb(image, 60, 25, 0, 200, 0));
    EXPECT_TRUE(IsBlack(image, 60, 12));
    EXPECT_TRUE(IsBlack(image, 60, 38));
}

TEST_F(LevelMeterTest, ClearBlanksTheWholeBox)
{
    const std::vector<std::int16_t> zeros(kCount, 0);
    meter->SetupTrace(kCount, 16, 1);
    meter->DrawSamples(zeros.data());
    meter->Clear();
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), "");
}

TEST_F(LevelMeterTest, DrawingBeforeSetupReadsOnlyTheFirstValue)
{
    // A one-value buffer: reading further would be caught by the address sanitizer.
    const std::vector<std::int16_t> one(1, 32767);
    meter->DrawSamples(one.data());
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), Pixels(Row(25)));
}

TEST_F(LevelMeterTest, NarrowMeterDrawsNoTrace)
{
    auto* narrow = new CLevelMeter(frame.Panel(), wxID_ANY, wxRect(200, 100, 10, 51));
    const std::vector<std::int16_t> zeros(kCount, 0);
    narrow->SetupTrace(kCount, 16, 0);
    narrow->DrawSamples(zeros.data());
    EXPECT_EQ(LitPixels(narrow->GetBackBufferImage()), "");
}

TEST_F(LevelMeterTest, StereoSetupWithATinyBufferStaysInsideIt)
{
    // Two values, stereo: every column reads index 0 and 1 only.
    const std::vector<std::int16_t> two{0, 0};
    meter->SetupTrace(2, 16, 1);
    meter->DrawSamples(two.data());
    EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), Pixels(Join(Row(12), Row(38))));
}

TEST_F(LevelMeterTest, EachPictureIsTheSameAsOneDrawnWhole)
{
    // The meter redraws only the columns that changed: after every picture of a sequence it
    // shows what a meter drawing that buffer alone shows.
    auto* whole = new CLevelMeter(frame.Panel(), wxID_ANY, wxRect(150, 26, 113, 51));
    std::vector<std::int16_t> samples(kCount);
    unsigned seed = 7;
    auto noise = [&] {
        for (auto& value : samples) {
            seed = seed * 1103515245u + 12345u;
            value = static_cast<std::int16_t>(seed >> 16);
        }
    };
    struct Step {
        int stereo;
        std::function<void()> change;
    };
    const Step steps[] = {
        {0, noise},
        {0, [&] { samples[1000] = 32767; }},     // column 50 alone, a steep line each side
        {0, [&] { samples[100] = -32768; }},     // the first column, below its run from the base
        {0, [&] { samples[2140] = 32767; }},     // the last point, never drawn itself
        {0, [] {}},                              // the same buffer again
        {0, [&] { samples[1000] = samples[1020]; }},
        {0, noise},
        {1, noise},
        {1, [&] { samples[1201] = -32768; }},    // the lower trace alone
        {1, [&] { samples[600] = samples[601]; }},
    };
    int stereo = -1;
    int n = 0;
    for (const Step& step : steps) {
        step.change();
        if (step.stereo != stereo) {
            stereo = step.stereo;
            meter->SetupTrace(kCount, 16, stereo);
        }
        meter->DrawSamples(samples.data());
        whole->Clear();
        whole->SetupTrace(kCount, 16, stereo);
        whole->DrawSamples(samples.data());
        EXPECT_EQ(LitPixels(meter->GetBackBufferImage()), LitPixels(whole->GetBackBufferImage())) << "picture " << n;
        ++n;
    }
}

}  // namespace

#ifdef __WXGTK__
#include <gtk/gtk.h>

namespace {

// What the X server shows in the meter's window now (what a user sees, not the toolkit's copy).
wxImage OnScreen(wxWindow* window)
{
    GdkWindow* gdk = window->GTKGetDrawingWindow();
    const wxSize size = window->GetClientSize();
    if (gdk == nullptr)
        return wxImage(size.x, size.y, true);
    int x = 0;
    int y = 0;
    gdk_window_get_origin(gdk, &x, &y);
    return testing_support::XScreenImage(wxRect(x, y, size.x, size.y));
}

}  // namespace

TEST_F(LevelMeterTest, TheWindowShowsEachPictureAtOnceAndAfterARepaint)
{
    RunEventsUntil([&] { return meter->IsShownOnScreen(); }, 5000);
    RunEventsUntil([] { return false; }, 200);
    std::vector<std::int16_t> samples(kCount, 0);
    meter->SetupTrace(kCount, 16, 0);
    for (int picture = 0; picture < 3; ++picture) {
        samples.assign(kCount, static_cast<std::int16_t>(picture * 9000));
        meter->DrawSamples(samples.data());
        // Without a turn of the event loop: the picture is on the screen already.
        EXPECT_EQ(LitPixels(OnScreen(meter)), LitPixels(meter->GetBackBufferImage())) << "picture " << picture;
    }
    // A picture that differs in a few columns only: those are shown.
    samples[1000] = -32768;
    meter->DrawSamples(samples.data());
    EXPECT_EQ(LitPixels(OnScreen(meter)), LitPixels(meter->GetBackBufferImage()));
    // Covered and uncovered (a repaint through the toolkit), it shows the same.
    meter->Refresh();
    RunEventsUntil([] { return false; }, 200);
    EXPECT_EQ(LitPixels(OnScreen(meter)), LitPixels(meter->GetBackBufferImage()));
    EXPECT_NE(LitPixels(OnScreen(meter)), "");
}
#endif
