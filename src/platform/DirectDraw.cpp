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

bool EditPixels(wxBitmap& bitmap, const PixelEditor& edit)
{
#ifdef __WXGTK3__
    if (!bitmap.IsOk() || bitmap.HasAlpha())
        return false;
    bitmap.UnShare();
    // The bitmap's own drawing surface, made from its pixels once and then kept: the same one
    // a memory device context draws on and the window is painted from.
    cairo_t* cr = bitmap.CairoCreate();
    if (cr == nullptr)
        return false;
    cairo_surface_t* surface = cairo_get_target(cr);
    const bool usable = cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE &&
                        cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    if (usable) {
        cairo_surface_flush(surface);
        edit(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface)),
             cairo_image_surface_get_stride(surface) / 4, cairo_image_surface_get_width(surface),
             cairo_image_surface_get_height(surface));
        cairo_surface_mark_dirty(surface);
    }
    cairo_destroy(cr);
    return usable;
#else
    (void)bitmap;
    (void)edit;
    return false;
#endif
}

}  // namespace platform
