#include "platform/DirectDraw.h"

#include <algorithm>
#include <cstdint>

#include <wx/bitmap.h>
#include <wx/window.h>

#ifdef __WXGTK3__
#include <memory>

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#endif

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

#ifdef GDK_WINDOWING_X11
// Sends the part (x, y, width, height) of an RGB24 image's pixels to the X window the GDK window
// lives in, with one PutImage request. Cairo would upload them through shared memory and ask
// the server for an event when done, which wakes the program a second time for every picture;
// for a picture of some tens of kilobytes the plain request costs no more. False, having sent
// nothing, where the window's pixels are not 24-bit true colour in the image's own layout, or
// the window is scaled.
bool PutImage(GdkWindow* gdkWindow, unsigned char* data, int imageWidth, int imageHeight, int stride, int x, int y,
              int width, int height)
{
    if (gdk_window_get_scale_factor(gdkWindow) != 1)
        return false;
    // Child windows are drawn inside the nearest window the X server knows of: find it, and
    // where this one lies in it.
    int offsetX = 0;
    int offsetY = 0;
    GdkWindow* native = gdkWindow;
    while (!gdk_window_has_native(native)) {
        int px = 0;
        int py = 0;
        gdk_window_get_position(native, &px, &py);
        offsetX += px;
        offsetY += py;
        native = gdk_window_get_parent(native);
        if (native == nullptr)
            return false;
    }
    if (!GDK_IS_X11_WINDOW(native))
        return false;
    GdkVisual* visual = gdk_window_get_visual(native);
    guint32 red = 0;
    guint32 green = 0;
    guint32 blue = 0;
    if (visual == nullptr || gdk_visual_get_depth(visual) != 24 ||
        gdk_visual_get_visual_type(visual) != GDK_VISUAL_TRUE_COLOR)
        return false;
    gdk_visual_get_red_pixel_details(visual, &red, nullptr, nullptr);
    gdk_visual_get_green_pixel_details(visual, &green, nullptr, nullptr);
    gdk_visual_get_blue_pixel_details(visual, &blue, nullptr, nullptr);
    if (red != 0xFF0000u || green != 0x00FF00u || blue != 0x0000FFu)
        return false;
    // The part asked for, inside the image and inside the window.
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min({x + width, imageWidth, gdk_window_get_width(gdkWindow)});
    const int bottom = std::min({y + height, imageHeight, gdk_window_get_height(gdkWindow)});
    if (right <= left || bottom <= top)
        return true;
    Display* display = GDK_WINDOW_XDISPLAY(native);
    // The image's own pixels, described in place: nothing is copied before the request.
    XImage image{};
    image.width = imageWidth;
    image.height = imageHeight;
    image.format = ZPixmap;
    image.data = reinterpret_cast<char*>(data);
    const std::uint32_t probe = 1;
    image.byte_order = *reinterpret_cast<const unsigned char*>(&probe) == 1 ? LSBFirst : MSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = image.byte_order;
    image.bitmap_pad = 32;
    image.depth = 24;
    image.bytes_per_line = stride;
    image.bits_per_pixel = 32;
    image.red_mask = red;
    image.green_mask = green;
    image.blue_mask = blue;
    if (XInitImage(&image) == 0)
        return false;
    // The screen's default context draws with no clip and no special function, which is all a
    // copy of pixels needs; the window must then be of the screen's own depth, as checked.
    const int screen = XScreenNumberOfScreen(GDK_SCREEN_XSCREEN(gdk_window_get_screen(native)));
    if (DefaultDepth(display, screen) != 24)
        return false;
    XPutImage(display, GDK_WINDOW_XID(native), DefaultGC(display, screen), &image, left, top, left + offsetX,
              top + offsetY, static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top));
    XFlush(display);
    return true;
}
#endif

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
    const std::unique_ptr<cairo_t, CairoDeleter> source(bitmap.CairoCreate());
    cairo_surface_t* surface = source ? cairo_get_target(source.get()) : nullptr;
    const bool rgb = surface != nullptr && cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE &&
                     cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
#ifdef GDK_WINDOWING_X11
    if (rgb) {
        cairo_surface_flush(surface);
        if (PutImage(gdkWindow, cairo_image_surface_get_data(surface), cairo_image_surface_get_width(surface),
                     cairo_image_surface_get_height(surface), cairo_image_surface_get_stride(surface), x, y, width,
                     height))
            return true;
    }
#endif
    // A context on the window itself is what the toolkit's client device context uses too;
    // GTK marks it deprecated in favour of drawing only while painting, which X11 does not need.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    std::unique_ptr<cairo_t, CairoDeleter> cr(gdk_cairo_create(gdkWindow));
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (!cr)
        return false;
    cairo_rectangle(cr.get(), x, y, width, height);
    cairo_clip(cr.get());
    if (!rgb) {
        bitmap.Draw(cr.get(), 0, 0, false);
        return true;
    }
    // The bitmap's pixels go to the window through a surface of their own, made for this one
    // paint and dropped after it. Painted from the bitmap's own surface, the display keeps a
    // copy of that surface, which the next change of its pixels must first discard, waiting for
    // the display server: a round trip on every picture.
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
