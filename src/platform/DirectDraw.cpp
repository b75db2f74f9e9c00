#include "platform/DirectDraw.h"

#include <wx/bitmap.h>
#include <wx/window.h>

#ifdef __WXGTK3__
#include <gtk/gtk.h>

#include "platform/GtkStyle.h"
#endif

namespace platform {

bool DrawNow(wxWindow& window, const wxBitmap& bitmap)
{
#ifdef __WXGTK3__
    if (!CanDrawOutsidePaint() || !bitmap.IsOk() || !window.IsShownOnScreen())
        return false;
    GdkWindow* gdkWindow = window.GTKGetDrawingWindow();
    if (gdkWindow == nullptr)
        return false;
    // A context on the window itself is what the toolkit's client device context uses too;
    // GTK marks it deprecated in favour of drawing only while painting, which X11 does not need.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    cairo_t* cr = gdk_cairo_create(gdkWindow);
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (cr == nullptr)
        return false;
    bitmap.Draw(cr, 0, 0, false);
    cairo_destroy(cr);
    return true;
#else
    (void)window;
    (void)bitmap;
    return false;
#endif
}

}  // namespace platform
