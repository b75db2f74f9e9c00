#include "platform/TextLinePainter.h"

#include <cmath>

#include <wx/bitmap.h>
#include <wx/font.h>
#include <wx/fontutil.h>

#ifdef __WXGTK3__
#include <pango/pangocairo.h>
#endif

namespace platform {

#ifdef __WXGTK3__
namespace {

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};

void SetSource(cairo_t* cr, const wxColour& colour)
{
    cairo_set_source_rgba(cr, colour.Red() / 255.0, colour.Green() / 255.0, colour.Blue() / 255.0,
                          colour.Alpha() / 255.0);
}

}  // namespace

struct TextLinePainter::Impl {
    // Made on the first line and kept: the layout keeps its shaping set-up between lines.
    std::unique_ptr<PangoContext, GObjectDeleter> context;
    std::unique_ptr<PangoLayout, GObjectDeleter> layout;
    // The font the layout was given.
    wxFont font;
};
#else
struct TextLinePainter::Impl {};
#endif

TextLinePainter::TextLinePainter() : m_impl(std::make_unique<Impl>()) {}

TextLinePainter::~TextLinePainter() = default;

bool TextLinePainter::Draw(wxBitmap& bitmap, const wxFont& font, const wxString& text, const wxRect& rect,
                           bool alignRight, const wxColour& colour, const wxColour& background)
{
#ifdef __WXGTK3__
    if (!bitmap.IsOk() || bitmap.HasAlpha() || !font.IsOk() || font.GetUnderlined() || font.GetStrikethrough())
        return false;
    if (rect.width <= 0 || rect.height <= 0)
        return true;
    bitmap.UnShare();
    // The bitmap's own drawing surface, the one a memory device context draws on too.
    const std::unique_ptr<cairo_t, CairoDeleter> cr(bitmap.CairoCreate());
    if (!cr)
        return false;
    if (!m_impl->layout) {
        m_impl->context.reset(pango_cairo_create_context(cr.get()));
        m_impl->layout.reset(pango_layout_new(m_impl->context.get()));
        m_impl->font = wxFont();
    }
    // The drawing context's transform and font options, as the toolkit's own layouts take them.
    pango_cairo_update_context(cr.get(), m_impl->context.get());
    if (!m_impl->font.IsSameAs(font)) {
        pango_layout_set_font_description(m_impl->layout.get(), font.GetNativeFontInfo()->description);
        m_impl->font = font;
    }
    const wxScopedCharBuffer utf8 = text.utf8_str();
    pango_layout_set_text(m_impl->layout.get(), utf8.data(), static_cast<int>(utf8.length()));

    cairo_rectangle(cr.get(), rect.x, rect.y, rect.width, rect.height);
    cairo_clip(cr.get());
    SetSource(cr.get(), background);
    cairo_paint(cr.get());
    double x = rect.x;
    if (alignRight) {
        PangoRectangle logical{};
        pango_layout_get_extents(m_impl->layout.get(), nullptr, &logical);
        x = rect.x + rect.width - std::ceil(static_cast<double>(logical.width) / PANGO_SCALE);
    }
    SetSource(cr.get(), colour);
    cairo_move_to(cr.get(), x, rect.y);
    pango_cairo_show_layout(cr.get(), m_impl->layout.get());
    return true;
#else
    (void)bitmap;
    (void)font;
    (void)text;
    (void)rect;
    (void)alignRight;
    (void)colour;
    (void)background;
    return false;
#endif
}

}  // namespace platform
