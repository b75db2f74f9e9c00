// The seven button icons: present, crisp at 100 % and 200 %, cut to small buttons on whole
// pixels.

#include <gtest/gtest.h>

#include <wx/image.h>

#include "res/ButtonIcons.h"
#include "res/ResourceIds.h"

namespace {

constexpr int kIcons[] = {res::IDI_PLAY, res::IDI_STOP, res::IDI_RECORD, res::IDI_OPEN,
                          res::IDI_NEW, res::IDI_VOLUME, res::IDI_RECORD_LEVEL};

bool Opaque(const wxImage& image, int x, int y) { return !image.HasAlpha() || image.GetAlpha(x, y) == 255; }
bool Clear(const wxImage& image, int x, int y) { return image.HasAlpha() && image.GetAlpha(x, y) == 0; }

TEST(ButtonIcons, EveryIconHasAPictureAtBothScales)
{
    for (int id : kIcons) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(res::HasButtonIcon(id));
        for (int size : {32, 64}) {
            const wxImage image = res::ButtonIcon(id).GetBitmap(wxSize(size, size)).ConvertToImage();
            ASSERT_TRUE(image.IsOk());
            EXPECT_EQ(image.GetSize(), wxSize(size, size));
            int opaque = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    opaque += Opaque(image, x, y) ? 1 : 0;
            EXPECT_GT(opaque, size * size / 40) << "something is drawn";
            EXPECT_TRUE(Clear(image, 0, 0)) << "the corner is transparent";
        }
    }
    EXPECT_FALSE(res::HasButtonIcon(128));
    EXPECT_FALSE(res::ButtonIcon(1234).IsOk());
}

TEST(ButtonIcons, EdgesFallOnWholePixels)
{
    // The stop square covers pixels 10..21 exactly at 100 % and 20..43 at 200 %.
    for (int scale : {1, 2}) {
        const int size = 32 * scale;
        const wxImage image = res::ButtonIcon(res::IDI_STOP).GetBitmap(wxSize(size, size)).ConvertToImage();
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const bool inside = x >= 10 * scale && x < 22 * scale && y >= 10 * scale && y < 22 * scale;
                if (inside)
                    ASSERT_TRUE(Opaque(image, x, y) && image.GetRed(x, y) == 0) << x << "," << y;
                else
                    ASSERT_TRUE(Clear(image, x, y)) << x << "," << y;
            }
        }
    }
}

TEST(ButtonIcons, RecordDiscIsRedAndTheOthersAreNot)
{
    const wxImage disc = res::ButtonIcon(res::IDI_RECORD).GetBitmap(wxSize(32, 32)).ConvertToImage();
    EXPECT_EQ(disc.GetRed(18, 18), 255);
    EXPECT_EQ(disc.GetGreen(18, 18), 0);
    const wxImage play = res::ButtonIcon(res::IDI_PLAY).GetBitmap(wxSize(32, 32)).ConvertToImage();
    EXPECT_EQ(play.GetRed(14, 16), 0);
}

TEST(ButtonIcons, SmallButtonsShowTheMiddleOnWholePixels)
{
    // 21 x 19 visible: the cut starts at (5, 6), so the square covers 5..16 and 4..15.
    const wxImage image = res::ButtonIcon(res::IDI_STOP, wxSize(21, 19)).GetBitmap(wxSize(21, 19)).ConvertToImage();
    ASSERT_EQ(image.GetSize(), wxSize(21, 19));
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 21; ++x)
            ASSERT_EQ(Opaque(image, x, y), x >= 5 && x <= 16 && y >= 4 && y <= 15) << x << "," << y;
}

}  // namespace
