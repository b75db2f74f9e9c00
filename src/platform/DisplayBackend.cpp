#include "platform/DisplayBackend.h"

#include <cstdlib>

#if defined(__linux__)
#include <gdk/gdk.h>
#endif

namespace platform {

bool ShouldPreferX11(const char* gdkBackend) { return gdkBackend == nullptr || gdkBackend[0] == '\0'; }

bool PreferX11Backend()
{
#if defined(__linux__)
    if (!ShouldPreferX11(std::getenv("GDK_BACKEND")))
        return false;
    // X11 first; "*" lets GDK open any backend when no X display is reachable. The environment
    // is left alone, so child processes are not pushed onto X11.
    gdk_set_allowed_backends("x11,*");
    return true;
#else
    return false;
#endif
}

}  // namespace platform
