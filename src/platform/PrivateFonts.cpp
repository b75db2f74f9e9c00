#include "platform/PrivateFonts.h"

#include <unistd.h>

#include <wx/font.h>

namespace platform {

void RegisterPrivateFonts()
{
#if wxUSE_PRIVATE_FONTS && !defined(_WIN32)
    static bool done = false;
    if (done)
        return;
    done = true;
    for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (::access(path, R_OK) == 0)
            wxFont::AddPrivateFont(path);
    }
#endif
}

}  // namespace platform
