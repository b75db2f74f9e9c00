// The display controls draw with Wine's Tahoma when it is installed: the face is found by name
// and the text layout really takes its glyphs from that file, not from a look-alike.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>

#include <string>

#include <wx/fontutil.h>

#include "controls/DisplayFont.h"
#include "platform/PrivateFonts.h"

namespace {

constexpr const char* kTahoma = "/usr/share/wine/fonts/tahoma.ttf";

// The file the toolkit's text layout loads for the font.
std::string FileDrawnFrom(const wxFont& font)
{
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoContext* context = pango_font_map_create_context(map);
    PangoFont* loaded = pango_font_map_load_font(map, context, font.GetNativeFontInfo()->description);
    std::string file;
    if (loaded != nullptr && PANGO_IS_FC_FONT(loaded)) {
        FcChar8* name = nullptr;
        if (FcPatternGetString(pango_fc_font_get_pattern(PANGO_FC_FONT(loaded)), FC_FILE, 0, &name) == FcResultMatch)
            file = reinterpret_cast<const char*>(name);
    }
    if (loaded != nullptr)
        g_object_unref(loaded);
    g_object_unref(context);
    return file;
}

}  // namespace

TEST(DisplayFont, TahomaIsDrawnFromWinesFontFile)
{
    if (::access(kTahoma, R_OK) != 0)
        GTEST_SKIP() << "fonts-wine is not installed";
    EXPECT_TRUE(platform::FontFamilyInstalled("Tahoma"));
    const wxFont font = controls::DisplayFont(26);
    EXPECT_EQ(font.GetFaceName(), "Tahoma");
    EXPECT_EQ(FileDrawnFrom(font), kTahoma);
}

TEST(DisplayFont, UnknownFamiliesAreNotInstalled)
{
    EXPECT_FALSE(platform::FontFamilyInstalled("No Such Family Dravellin"));
}
