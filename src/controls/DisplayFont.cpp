#include "controls/DisplayFont.h"

#include <algorithm>

#include "platform/PrivateFonts.h"

namespace controls {
namespace {

// Tahoma first; then faces of about its width that Linux desktops commonly have (the
// last one is wider, but nearly always there).
const wxString& FaceName()
{
    static const wxString face = [] {
        for (const char* candidate : {"Tahoma", "Liberation Sans", "Arial", "Nimbus Sans", "DejaVu Sans"}) {
            if (platform::FontFamilyInstalled(candidate))
                return wxString(candidate);
        }
        return wxString();
    }();
    return face;
}

}  // namespace

wxFont DisplayFont(int cellHeight)
{
    // A font's pixel size is its em height. Tahoma's line (cell) is 2472/2048 em high, so the
    // em that gives the requested cell in Tahoma also gives the other faces Tahoma's size.
    const int em = std::max(1, (cellHeight * 2048 + 1236) / 2472);
    return wxFont(wxFontInfo(wxSize(0, em)).Family(wxFONTFAMILY_SWISS).FaceName(FaceName()));
}

}  // namespace controls
