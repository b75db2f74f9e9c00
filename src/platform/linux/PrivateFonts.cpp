#include "platform/PrivateFonts.h"

#include <wx/defs.h>

#if !wxUSE_PRIVATE_FONTS
#include <wx/fontenum.h>
#else
#include <fontconfig/fontconfig.h>
#include <initializer_list>
#include <unistd.h>
#endif

namespace platform {

#if !wxUSE_PRIVATE_FONTS

void RegisterPrivateFonts() {}

bool FontFamilyInstalled(const char* family) { return wxFontEnumerator::IsValidFacename(family); }

#else

void RegisterPrivateFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // The toolkit's text layout reads the current configuration's application fonts along with
    // the system ones. Added before the first text is laid out, the font is there from the
    // start; the toolkit's own private-font route would load a second configuration instead.
    FcConfig* config = FcConfigGetCurrent();
    for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (::access(path, R_OK) == 0)
            FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(path));
    }
}

bool FontFamilyInstalled(const char* family)
{
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    bool found = false;
    if (pattern && objects && FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family))) {
        FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
        found = fonts && fonts->nfont > 0;
        if (fonts)
            FcFontSetDestroy(fonts);
    }
    if (objects)
        FcObjectSetDestroy(objects);
    if (pattern)
        FcPatternDestroy(pattern);
    return found;
}

#endif

}  // namespace platform
