// The time display and the format and size panel: their texts and where the text may land.

#include <gtest/gtest.h>

#include <wx/dcmemory.h>

#include "PixelTestSupport.h"
#include "controls/ControlRect.h"
#include "controls/DisplayFont.h"
#include "controls/FormatTime.h"
#include "controls/InfoPanel.h"
#include "controls/TimePanel.h"
#include "res/ResourceIds.h"
#include "support/DecimalCommaLocale.h"

namespace {

using namespace controls_test;

// Every pixel of rect is black.
bool AllBlack(const wxImage& image, const wxRect& rect)
{
    for (int y = rect.GetTop(); y <= rect.GetBottom(); ++y)
        for (int x = rect.GetLeft(); x <= rect.GetRight(); ++x)
            if (!IsBlack(image, x, y))
                return false;
    return true;
}

// Lit pixels are green shades only: no colour other than green on black.
bool OnlyGreen(const wxImage& image)
{
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetRed(x, y) != 0 || image.GetBlue(x, y) != 0 || image.GetGreen(x, y) > 200)
                return false;
    return true;
}

// A line of text as the toolkit's own device context draws it, green on black, clipped to rect
// and left-aligned there or right-aligned against its right edge: how both panels looked when
// they drew through it.
wxImage ToolkitLine(const wxSize& size, int fontHeight, const wxString& text, const wxRect& rect, bool right)
{
    wxBitmap bitmap(wxImage(size.x, size.y, true), 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetClippingRegion(rect);
        dc.SetFont(controls::DisplayFont(fontHeight));
        dc.SetTextForeground(wxColour(0, 200, 0));
        dc.SetTextBackground(*wxBLACK);
        dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
        dc.DrawText(text, right ? rect.GetRight() + 1 - dc.GetTextExtent(text).x : rect.x, rect.y);
    }
    return bitmap.ConvertToImage();
}

class TimePanelTest : public ::testing::Test {
protected:
    TestFrame frame;
    // Where the panel puts it: 89 x 26 pixels; the text area is (0, 1)-(85, 26).
    CTimePanel* time = new CTimePanel(frame.Panel(), res::IDC_TIME_PANEL, controls::EdgeRect(26, 0, 115, 26));

    wxImage Showing(int seconds)
    {
        time->SetSeconds(seconds);
        return time->GetBackBufferImage();
    }
    // Row 0 and the four rightmost columns are never drawn.
    static void ExpectMarginsBlack(const wxImage& image)
    {
        EXPECT_TRUE(AllBlack(image, wxRect(0, 0, 89, 1)));
        EXPECT_TRUE(AllBlack(image, wxRect(85, 0, 4, 26)));
    }
};

TEST_F(TimePanelTest, NewDisplayShowsZeroRightAligned)
{
    EXPECT_EQ(time->GetSeconds(), 0);
    const wxImage image = time->GetBackBufferImage();
    ASSERT_EQ(image.GetWidth(), 89);
    ASSERT_EQ(image.GetHeight(), 26);
    EXPECT_TRUE(OnlyGreen(image));
    ExpectMarginsBlack(image);
    const wxRect lit = LitBounds(image);
    ASSERT_FALSE(lit.IsEmpty());
    EXPECT_GE(lit.GetRight(), 80) << "the text ends at the right edge of the text area";
    // The same picture as an explicit zero.
    EXPECT_TRUE(SamePixels(image, Showing(0), wxRect(0, 0, 89, 26)));
}

TEST_F(TimePanelTest, WiderTextsGrowToTheLeftAndAreCutThere)
{
    const wxRect shortText = LitBounds(Showing(5));
    const wxRect longer = LitBounds(Showing(360000));  // 100:00:00
    EXPECT_LE(longer.GetLeft(), shortText.GetLeft());
    EXPECT_GE(longer.GetRight(), 80);

    const wxImage widest = Showing(2147483647);  // 596523:14:07, wider than the text area
    ExpectMarginsBlack(widest);
    const wxRect cut = LitBounds(widest);
    EXPECT_LE(cut.GetLeft(), 2) << "the text runs into the left edge";
    EXPECT_GE(cut.GetRight(), 80) << "its right edge stays in place";
}

TEST_F(TimePanelTest, TickCountsOnFromTheCurrentValue)
{
    const wxImage eleven = Showing(11);
    time->SetSeconds(10);
    time->Tick();
    EXPECT_EQ(time->GetSeconds(), 11);
    EXPECT_TRUE(SamePixels(time->GetBackBufferImage(), eleven, wxRect(0, 0, 89, 26)));

    // A long text leaves nothing behind when a short one follows.
    const wxImage zero = Showing(0);
    time->SetSeconds(2147483647);
    time->Reset();
    EXPECT_EQ(time->GetSeconds(), 0);
    EXPECT_TRUE(SamePixels(time->GetBackBufferImage(), zero, wxRect(0, 0, 89, 26)));

    time->SetSeconds(-5);
    EXPECT_EQ(time->GetSeconds(), 0);
}

TEST_F(TimePanelTest, LooksAsTheToolkitDrawsText)
{
    for (int seconds : {0, 59, 3725, 360000, 2147483647}) {
        const wxImage expected = ToolkitLine(wxSize(89, 26), 26, FormatTime(seconds), wxRect(0, 1, 85, 25), true);
        EXPECT_TRUE(SamePixels(Showing(seconds), expected, wxRect(0, 0, 89, 26))) << seconds;
    }
}

TEST(InfoPanelText, FormatLine)
{
    EXPECT_EQ(CInfoPanel::FormatLine(44.1f, 128, 1), "128 kbps : 44.1 kHz : Stereo");
    EXPECT_EQ(CInfoPanel::FormatLine(8.0f, 8, 0), "8 kbps : 8.0 kHz : Mono");
    // The panel passes the rate in Hz times 0.001 in single precision.
    EXPECT_EQ(CInfoPanel::FormatLine(22050 * 0.001f, 32, 0), "32 kbps : 22.1 kHz : Mono");
    EXPECT_EQ(CInfoPanel::FormatLine(11025 * 0.001f, 16, 0), "16 kbps : 11.0 kHz : Mono");
    EXPECT_EQ(CInfoPanel::FormatLine(44100 * 0.001f, 256, 1), "256 kbps : 44.1 kHz : Stereo");
    EXPECT_EQ(CInfoPanel::FormatLine(44.1f, 128, -1), "128 kbps : 44.1 kHz : Mono");
    EXPECT_EQ(CInfoPanel::FormatLine(44.1f, 128, 2), "128 kbps : 44.1 kHz : Stereo");
    // Cut to its 40-byte buffer rather than overrun it.
    EXPECT_EQ(CInfoPanel::FormatLine(1e30f, 2147483647, 1).size(), 39u);
}

TEST(InfoPanelText, FormatLineKeepsItsDecimalPointInADecimalCommaLocale)
{
    std::string eleven, fortyFour;
    {
        testing_support::DecimalCommaLocale comma;
        ASSERT_TRUE(comma.Active()) << comma.Error();
        eleven = CInfoPanel::FormatLine(11025 * 0.001f, 16, 0);
        fortyFour = CInfoPanel::FormatLine(44.1f, 128, 1);
    }
    EXPECT_EQ(eleven, "16 kbps : 11.0 kHz : Mono");
    EXPECT_EQ(fortyFour, "128 kbps : 44.1 kHz : Stereo");
}

TEST(InfoPanelText, SizeLine)
{
    EXPECT_EQ(CInfoPanel::SizeLine(0, FormatTime(0)), "0 kBytes (0:00:00)");
    EXPECT_EQ(CInfoPanel::SizeLine(4096, FormatTime(3725)), "4096 kBytes (1:02:05)");
    EXPECT_EQ(CInfoPanel::SizeLine(4294967295u, "x"), "4294967295 kBytes (x)");
    EXPECT_EQ(CInfoPanel::SizeLine(1, std::string(100, '9')).size(), 51u);
}

class InfoPanelTest : public ::testing::Test {
protected:
    TestFrame frame;
    // Where the panel puts it: 196 x 50 pixels.
    CInfoPanel* info = new CInfoPanel(frame.Panel(), res::IDC_INFO_PANEL, controls::EdgeRect(115, 0, 311, 50));
    const wxRect formatLine{6, 4, 188, 21};  // (6, 4)-(194, 25)
    const wxRect sizeLine{6, 25, 188, 25};   // (6, 25)-(194, 50)
    const wxRect whole{0, 0, 196, 50};
};

TEST_F(InfoPanelTest, LinesHaveFixedPlaces)
{
    EXPECT_EQ(info->FormatLineRect(), formatLine);
    EXPECT_EQ(info->SizeLineRect(), sizeLine);
    EXPECT_EQ(LitPixels(info->GetBackBufferImage()), "") << "black before the first call";

    info->ShowFormat(44.1f, 128, 1);
    info->ShowSize(123456, "100:00:00");
    const wxImage image = info->GetBackBufferImage();
    EXPECT_TRUE(OnlyGreen(image));
    EXPECT_TRUE(AllBlack(image, wxRect(0, 0, 6, 50)));
    EXPECT_TRUE(AllBlack(image, wxRect(194, 0, 2, 50)));
    EXPECT_TRUE(AllBlack(image, wxRect(0, 0, 196, 4)));
    // Both lines are left-aligned at x = 6 and start at their rectangle's top.
    const wxImage onlyFormat = [&] {
        auto* other = new CInfoPanel(frame.Panel(), wxID_ANY, wxRect(0, 100, 196, 50));
        other->ShowFormat(44.1f, 128, 1);
        return other->GetBackBufferImage();
    }();
    const wxRect formatLit = LitBounds(onlyFormat);
    EXPECT_LE(formatLit.GetLeft(), 8);
    EXPECT_LE(formatLit.GetTop(), 9);
    EXPECT_LT(formatLit.GetBottom(), 25);
}

TEST_F(InfoPanelTest, LooksAsTheToolkitDrawsText)
{
    for (const std::string& time : {std::string("0:00:00"), std::string("1:23:45"), std::string(60, '9')}) {
        info->ShowSize(987654, time);
        const std::string line = CInfoPanel::SizeLine(987654, time);
        const wxImage expected = ToolkitLine(wxSize(196, 50), 18, wxString::FromUTF8(line), sizeLine, false);
        EXPECT_TRUE(SamePixels(info->GetBackBufferImage(), expected, whole)) << line;
    }
}

TEST_F(InfoPanelTest, EachLineIsRedrawnAlone)
{
    info->ShowFormat(44.1f, 128, 1);
    info->ShowSize(0, "0:00:00");
    const wxImage first = info->GetBackBufferImage();
    EXPECT_FALSE(AllBlack(first, formatLine));
    EXPECT_FALSE(AllBlack(first, sizeLine));

    // The size line every second: the format line stays as it was.
    info->ShowSize(987654, "1:23:45");
    const wxImage second = info->GetBackBufferImage();
    EXPECT_TRUE(SamePixels(first, second, wxRect(0, 0, 196, 25)));
    EXPECT_FALSE(SamePixels(first, second, sizeLine));

    // A new format: the size line stays.
    info->ShowFormat(8.0f, 8, 0);
    const wxImage third = info->GetBackBufferImage();
    EXPECT_TRUE(SamePixels(second, third, wxRect(0, 25, 196, 25)));
    EXPECT_FALSE(SamePixels(second, third, formatLine));

    // Back to the first texts: the same picture as the first time, nothing left over.
    info->ShowFormat(44.1f, 128, 1);
    info->ShowSize(0, "0:00:00");
    EXPECT_TRUE(SamePixels(first, info->GetBackBufferImage(), whole));
}

}  // namespace
