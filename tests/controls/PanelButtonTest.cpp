#include <gtest/gtest.h>

#include <wx/image.h>

#include "PixelTestSupport.h"
#include "controls/ControlRect.h"
#include "controls/PanelButton.h"
#include "res/ResourceIds.h"

namespace {

using namespace controls_test;

class PanelButtonTest : public ::testing::Test {
protected:
    TestFrame frame;
    // The record button's place: 48 x 23 pixels.
    CPanelButton* button =
        new CPanelButton(frame.Panel(), res::IDC_RECORD_BUTTON, controls::EdgeRect(58, 85, 106, 108));
};

TEST_F(PanelButtonTest, HasNoCaptionAndKeepsItsPlace)
{
    EXPECT_EQ(button->GetLabel(), "");
    EXPECT_EQ(button->GetId(), res::IDC_RECORD_BUTTON);
    EXPECT_EQ(button->GetRect(), wxRect(58, 85, 48, 23));
}

TEST_F(PanelButtonTest, TheLastIconSetIsShown)
{
    button->SetIconId(res::IDI_STOP);
    button->SetIconId(res::IDI_RECORD);
    EXPECT_EQ(button->GetIconId(), res::IDI_RECORD);
    const wxBitmap shown = button->GetBitmap();
    ASSERT_TRUE(shown.IsOk());
    // The face is 44 x 19: the icon is cut to 32 x 19 around its middle, where the red disc is.
    const wxImage image = shown.ConvertToImage();
    EXPECT_EQ(image.GetSize(), wxSize(32, 19));
    EXPECT_EQ(image.GetRed(18, 12), 255);

    // Only the low 16 bits of the id count.
    button->SetIconId(0x10000 + res::IDI_PLAY);
    EXPECT_EQ(button->GetIconId(), res::IDI_PLAY);
}

TEST_F(PanelButtonTest, FlashShowsThePushedLookForAMoment)
{
    EXPECT_FALSE(button->IsFlashing());
    button->Flash();
    EXPECT_TRUE(button->IsFlashing());
    RunEventsUntil([&] { return !button->IsFlashing(); }, 2000);
    EXPECT_FALSE(button->IsFlashing());
}

TEST_F(PanelButtonTest, DestroyingAFlashingButtonIsSafe)
{
    button->Flash();
    button->Destroy();
    RunEventsUntil([] { return false; }, 200);
}

}  // namespace
