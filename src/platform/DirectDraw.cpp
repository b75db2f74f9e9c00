#include "platform/DirectDraw.h"

#include <wx/bitmap.h>
#include <wx/window.h>

#ifdef __WXGTK3__
#include <memory>

#include <gtk/gtk.h>

#include "platform/linux/GtkStyle.h"
#endif

namespace platform {

#ifdef __WXGTK3__
namespace {

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoSurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

}  // namespace
#endif

bool DrawNow(wxWindow& window, const wxBitmap& bitmap, int x, int y, int width, int height)
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
    std::unique_ptr<cairo_t, CairoDeleter> cr(gdk_cairo_create(gdkWindow));
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (!cr)
        return false;
    cairo_rectangle(cr.get(), x, y, width, height);
    cairo_clip(cr.get());
    // The bitmap's pixels go to the window through a surface of their own, made for this one
    // paint and dropped after it. Painted from the bitmap's own surface, the display keeps a
    // copy of that surface, which the next change of its pixels must first discard, waiting for
    // the display server: a round trip on every picture.
    const std::unique_ptr<cairo_t, CairoDeleter> source(bitmap.CairoCreate());
    cairo_surface_t* surface = source ? cairo_get_target(source.get()) : nullptr;
    if (surface == nullptr || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(surface) != CAIRO_FORMAT_RGB24) {
        bitmap.Draw(cr.get(), 0, 0, false);
        return true;
    }
    const std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter> view(cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(surface), CAIRO_FORMAT_RGB24, cairo_image_surface_get_width(surface),
        cairo_image_surface_get_height(surface), cairo_image_surface_get_stride(surface)));
    cairo_set_source_surface(cr.get(), view.get(), 0, 0);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    return true;
#else
    (void)window;
    (void)bitmap;
    (void)x;
    (void)y;
    (void)width;
    (void)height;
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
