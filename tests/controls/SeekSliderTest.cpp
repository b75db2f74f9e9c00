#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "controls/ControlRect.h"
#include "controls/SeekSlider.h"
#include "res/ResourceIds.h"

namespace {

using namespace controls_test;

class SeekSliderTest : public ::testing::Test {
protected:
    TestFrame frame;
    CSeekSlider* slider = new CSeekSlider(frame.Panel(), res::IDC_SLIDER, controls::EdgeRect(120, 55, 310, 78));
};

TEST_F(SeekSliderTest, EndsBeforeAnyRangeAreZero)
{
    EXPECT_EQ(slider->GetRangeMin(), 0);
    EXPECT_EQ(slider->GetRangeMax(), 0);
    slider->SetPos(40);
    slider->GoToEnd();
    EXPECT_EQ(slider->GetValue(), 0);
    slider->SetPos(40);
    slider->GoToStart();
    EXPECT_EQ(slider->GetValue(), 0);
}

TEST_F(SeekSliderTest, RemembersItsRange)
{
    slider->SetRange(0, 1000);
    EXPECT_EQ(slider->GetRangeMax(), 1000);
    EXPECT_EQ(slider->GetMax(), 1000);
    slider->GoToEnd();
    EXPECT_EQ(slider->GetValue(), 1000);
    slider->SetPos(250);
    EXPECT_EQ(slider->GetValue(), 250);
    slider->GoToStart();
    EXPECT_EQ(slider->GetValue(), 0);

    slider->SetPageSize(50);
    slider->SetLineSize(10);
    EXPECT_EQ(slider->GetPageSize(), 50);
    EXPECT_EQ(slider->GetLineSize(), 10);

    // An empty range is remembered as given; the control keeps one step.
    slider->SetRange(0, 0);
    EXPECT_EQ(slider->GetRangeMax(), 0);
    slider->GoToEnd();
    EXPECT_EQ(slider->GetValue(), 0);
}

TEST_F(SeekSliderTest, DraggingFlagIsTheCallersAlone)
{
    EXPECT_FALSE(slider->IsDragging());
    slider->SetDragging(true);
    EXPECT_TRUE(slider->IsDragging());
    slider->SetPos(10);
    EXPECT_TRUE(slider->IsDragging());
    slider->SetDragging(false);
    EXPECT_FALSE(slider->IsDragging());
}

TEST_F(SeekSliderTest, StartsWithoutThumbUntilTold)
{
    EXPECT_FALSE(slider->HasThumb());
    slider->ShowThumb();
    EXPECT_TRUE(slider->HasThumb());
    slider->ShowThumb();
    EXPECT_TRUE(slider->HasThumb());
}

TEST_F(SeekSliderTest, NeverKeepsTheFocus)
{
    EXPECT_FALSE(slider->AcceptsFocus());
    frame.Panel()->SetFocus();
    RunEventsUntil([&] { return wxWindow::FindFocus() == frame.Panel(); }, 1000);
    slider->SetFocus();
    RunEventsUntil([] { return false; }, 100);
    EXPECT_NE(wxWindow::FindFocus(), slider);
}

}  // namespace

#include <wx/uiaction.h>

namespace {

using namespace controls_test;

// Clicks near the right end of the slider's trough.
void ClickNearTheEnd(CSeekSlider* slider)
{
    const wxRect rect = slider->GetScreenRect();
    wxUIActionSimulator mouse;
    mouse.MouseMove(rect.GetRight() - 15, rect.GetTop() + rect.height / 2);
    RunEventsUntil([] { return false; }, 50);
    mouse.MouseClick();
    RunEventsUntil([] { return false; }, 200);
}

TEST(SeekSliderClicks, IgnoredWithoutThumbAndFocusStaysOnThePanel)
{
    TestFrame frame;
    auto* slider = new CSeekSlider(frame.Panel(), res::IDC_SLIDER, controls::EdgeRect(120, 55, 310, 78));
    slider->SetRange(0, 1000);
    frame.Panel()->SetFocus();
    RunEventsUntil([&] { return wxWindow::FindFocus() == frame.Panel(); }, 1000);

    ClickNearTheEnd(slider);
    EXPECT_EQ(slider->GetValue(), 0) << "no thumb: the click does nothing";

    int pagesDown = 0;
    frame.Panel()->Bind(wxEVT_SCROLL_PAGEDOWN, [&](wxScrollEvent&) { ++pagesDown; });
    ClickNearTheEnd(slider);
    EXPECT_EQ(pagesDown, 0);

    slider->ShowThumb();
    ClickNearTheEnd(slider);
    EXPECT_EQ(pagesDown, 1) << "with a thumb a click in the channel is one page step";
    EXPECT_EQ(slider->GetValue(), 0) << "the receiver of the step moves the thumb, not the click";
    EXPECT_EQ(wxWindow::FindFocus(), frame.Panel());
}

}  // namespace
