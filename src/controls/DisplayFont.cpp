#include "controls/DisplayFont.h"

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/fontenum.h>

namespace controls {
namespace {

// Tahoma first; then faces of about its width that Linux desktops commonly have.
const wxString& FaceName()
{
    static const wxString face = [] {
        for (const char* candidate : {"Tahoma", "DejaVu Sans Condensed", "Liberation Sans", "Arial", "DejaVu Sans"}) {
            if (wxFontEnumerator::IsValidFacename(candidate))
                return wxString(candidate);
        }
        return wxString();
    }();
    return face;
}

wxFont WithPixelHeight(int pixels)
{
    return wxFont(wxFontInfo(wxSize(0, pixels)).Family(wxFONTFAMILY_SWISS).FaceName(FaceName()));
}

}  // namespace

wxFont DisplayFont(int cellHeight)
{
    // A font's pixel size is its em height; the line is taller by the font's own leading.
    // Shrink the em until the line fits the requested cell.
    wxBitmap scratch(1, 1);
    wxMemoryDC dc(scratch);
    int pixels = cellHeight;
    wxFont font = WithPixelHeight(pixels);
    for (int attempt = 0; attempt < 8 && pixels > 1; ++attempt) {
        dc.SetFont(font);
        const int line = dc.GetCharHeight();
        if (line <= cellHeight)
            break;
        const int next = std::max(1, std::min(pixels - 1, pixels * cellHeight / line));
        pixels = next;
        font = WithPixelHeight(pixels);
    }
    return font;
}

}  // namespace controls
