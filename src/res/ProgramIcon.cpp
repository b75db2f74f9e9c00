#include "res/ProgramIcon.h"

#include <wx/bmpbndl.h>

namespace res {
namespace {

constexpr const char kProgramIconSvg[] = R"SVG(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <rect x="1" y="1" width="30" height="30" rx="5" fill="#000000"/>
  <polyline points="3,22 7,22 9,17 11,26 13,19 15,23 17,21 29,21" fill="none" stroke="#00c800" stroke-width="1.5"/>
  <rect x="17" y="4" width="8" height="13" rx="4" fill="#c0c0c0" stroke="#ffffff" stroke-width="1"/>
  <path d="M15 12 v1 a6 6 0 0 0 12 0 v-1" fill="none" stroke="#c0c0c0" stroke-width="1.5"/>
  <line x1="21" y1="19" x2="21" y2="24" stroke="#c0c0c0" stroke-width="1.5"/>
  <circle cx="8" cy="8" r="4" fill="#e00000"/>
</svg>)SVG";

wxBitmapBundle Bundle() { return wxBitmapBundle::FromSVG(kProgramIconSvg, wxSize(32, 32)); }

}  // namespace

wxIconBundle ProgramIconBundle()
{
    const wxBitmapBundle bundle = Bundle();
    wxIconBundle icons;
    for (int size : {16, 32, 48, 64}) {
        wxIcon icon;
        icon.CopyFromBitmap(bundle.GetBitmap(wxSize(size, size)));
        icons.AddIcon(icon);
    }
    return icons;
}

wxBitmap ProgramIconBitmap(int size) { return Bundle().GetBitmap(wxSize(size, size)); }

const char* ProgramIconSvg() { return kProgramIconSvg; }

}  // namespace res
