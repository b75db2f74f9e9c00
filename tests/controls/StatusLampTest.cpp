// The status lamp's pictures, read pixel by pixel from its back buffer.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "PixelTestSupport.h"
#include "controls/ControlRect.h"
#include "controls/StatusLamp.h"
#include "res/ResourceIds.h"

namespace {

using namespace controls_test;

// One lamp picture as its table describes it: size, shape, two shades and which parity of
// x + y gets the bright one.
struct Expected {
    int width;
    int height;
    std::function<bool(int, int)> inside;
    int brightParity;
    bool red;
};

const Expected kDisc{9, 9,
                     [](int x, int y) {
                         if (y == 0 || y == 8)
                             return x >= 3 && x <= 5;
                         if (y >= 3 && y <= 5)
                             return true;
                         return x >= 1 && x <= 7;
                     },
                     1, true};
const Expected kSquare{9, 9, [](int, int) { return true; }, 1, false};
const Expected kTriangle{7, 13, [](int x, int y) { return x <= std::min(y, 12 - y); }, 1, false};
const Expected kBars{9, 9, [](int x, int) { return x <= 2 || x >= 6; }, 0, false};
// The disc's outline: its pixels with a neighbour outside it. A 5 x 5 dot without its corners.
const Expected kRing{9, 9,
                     [](int x, int y) {
                         auto in = [](int px, int py) {
                             return px >= 0 && py >= 0 && px < 9 && py < 9 && kDisc.inside(px, py);
                         };
                         return in(x, y) && !(in(x - 1, y) && in(x + 1, y) && in(x, y - 1) && in(x, y + 1));
                     },
                     1, true};
const Expected kDot{5, 5, [](int x, int y) { return (x != 0 && x != 4) || (y != 0 && y != 4); }, 0, true};

// Checks every pixel of the box: the picture at (left, top), black everywhere else.
void ExpectLamp(const wxImage& image, const Expected& picture, int left, int top)
{
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            const int px = x - left;
            const int py = y - top;
            const bool within = px >= 0 && py >= 0 && px < picture.width && py < picture.height;
            if (!within || !picture.inside(px, py)) {
                ASSERT_TRUE(IsBlack(image, x, y)) << "at " << x << "," << y;
                continue;
            }
            const unsigned char level = (px + py) % 2 == picture.brightParity ? 255 : 128;
            if (picture.red)
                ASSERT_TRUE(IsRgb(image, x, y, level, 0, 0)) << "at " << x << "," << y;
            else
                ASSERT_TRUE(IsRgb(image, x, y, 0, level, 0)) << "at " << x << "," << y;
        }
    }
}

class StatusLampTest : public ::testing::Test {
protected:
    TestFrame frame;
    // Where the panel puts it: 24 x 28 pixels.
    CStatusLamp* lamp = new CStatusLamp(frame.Panel(), res::IDC_STATUS_LAMP, controls::EdgeRect(2, 0, 26, 28));
};

TEST_F(StatusLampTest, NewLampShowsTheGreenSquareCentredWithTheExtraPixelRightAndBelow)
{
    const wxImage image = lamp->GetBackBufferImage();
    ASSERT_EQ(image.GetWidth(), 24);
    ASSERT_EQ(image.GetHeight(), 28);
    EXPECT_EQ(lamp->GetPosition(), wxPoint(2, 0));
    ExpectLamp(image, kSquare, 7, 9);
    // 7 black columns on the left, 8 on the right; 9 black rows above, 10 below.
    EXPECT_EQ(LitBounds(image), wxRect(7, 9, 9, 9));
}

TEST_F(StatusLampTest, EveryStateDrawsItsPicture)
{
    lamp->SetState(LAMP_RECORD);
    ExpectLamp(lamp->GetBackBufferImage(), kDisc, 7, 9);
    lamp->SetState(LAMP_PLAY);
    ExpectLamp(lamp->GetBackBufferImage(), kTriangle, 8, 7);
    lamp->SetState(LAMP_PAUSE);
    ExpectLamp(lamp->GetBackBufferImage(), kBars, 7, 9);
    lamp->SetState(LAMP_STOP);
    ExpectLamp(lamp->GetBackBufferImage(), kSquare, 7, 9);
    lamp->SetState(LAMP_ARMED);
    ExpectLamp(lamp->GetBackBufferImage(), kRing, 7, 9);
    lamp->SetState(LAMP_LISTEN);
    ExpectLamp(lamp->GetBackBufferImage(), kDot, 9, 11);
}

TEST_F(StatusLampTest, EachPictureReplacesTheWholeBox)
{
    lamp->SetState(LAMP_RECORD);
    lamp->SetState(LAMP_OFF);
    EXPECT_EQ(LitPixels(lamp->GetBackBufferImage()), "");

    // The disc's corners are black but the square's are not, and no red stays behind.
    lamp->SetState(LAMP_RECORD);
    lamp->SetState(LAMP_STOP);
    ExpectLamp(lamp->GetBackBufferImage(), kSquare, 7, 9);

    lamp->SetState(0);
    EXPECT_EQ(LitPixels(lamp->GetBackBufferImage()), "");
    lamp->SetState(LAMP_PLAY);
    lamp->SetState(6);
    EXPECT_EQ(LitPixels(lamp->GetBackBufferImage()), "");
}

TEST_F(StatusLampTest, OtherBoxSizesCentreWithIntegerDivision)
{
    // 10 x 10: one spare column and row, which go to the right and the bottom.
    auto* small = new CStatusLamp(frame.Panel(), wxID_ANY, wxRect(40, 40, 10, 10));
    ExpectLamp(small->GetBackBufferImage(), kSquare, 0, 0);
    // Shorter than the triangle: (10 - 13) / 2 truncates toward zero to -1, so the picture's
    // top row is cut off and the rest stands one row higher.
    small->SetState(LAMP_PLAY);
    ExpectLamp(small->GetBackBufferImage(), kTriangle, 1, -1);
}

}  // namespace

// The waiting picture: an amber hourglass (two triangles meeting at the middle row), apart from
// every other picture by its colour.
TEST_F(StatusLampTest, WaitingDrawsAnAmberHourglass)
{
    lamp->SetState(LAMP_WAIT);
    const wxImage image = lamp->GetBackBufferImage();
    EXPECT_EQ(LitBounds(image), wxRect(7, 9, 9, 9));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const int edge = std::min(y, 8 - y);
            const bool inside = x >= edge && x <= 8 - edge;
            const bool bright = (x + y) % 2 == 1;
            if (!inside)
                EXPECT_TRUE(IsRgb(image, 7 + x, 9 + y, 0, 0, 0)) << x << "," << y;
            else
                EXPECT_TRUE(bright ? IsRgb(image, 7 + x, 9 + y, 255, 176, 0) : IsRgb(image, 7 + x, 9 + y, 128, 88, 0))
                    << x << "," << y;
        }
}
