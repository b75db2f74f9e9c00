#pragma once
// Draws one line of text into a bitmap's own pixels, again and again in one font, for a display
// whose text changes every second. Through the toolkit's device context each line costs a new
// device and drawing context, a new text layout, and a second layout to measure the text; here
// one layout is kept and only its text changes, which gives the same pixels for a fraction of
// the work. Where the platform keeps bitmaps otherwise, Draw draws nothing and returns false:
// the caller then draws through a device context.
//
// User-interface thread only.

#include <memory>

#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

class wxBitmap;
class wxFont;

namespace platform {

class TextLinePainter {
public:
    TextLinePainter();
    ~TextLinePainter();
    TextLinePainter(const TextLinePainter&) = delete;
    TextLinePainter& operator=(const TextLinePainter&) = delete;

    // Fills rect of bitmap with background, then draws text in font and colour with its top at
    // the rectangle's top, from its left edge or ending at its right edge (alignRight), clipped
    // to it. False, with nothing drawn, where this cannot be done.
    bool Draw(wxBitmap& bitmap, const wxFont& font, const wxString& text, const wxRect& rect, bool alignRight,
              const wxColour& colour, const wxColour& background);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
