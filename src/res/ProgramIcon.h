#pragma once
// The program icon (resource 128): a microphone in front of a green level trace, drawn from our
// own vector source so it is crisp at any size.

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

namespace res {

wxIconBundle ProgramIconBundle();
wxBitmap ProgramIconBitmap(int size);

// The drawing itself (SVG text, 32 x 32 user units): the desktop's icon theme gets the same
// picture, rendered from this text when the program is built.
const char* ProgramIconSvg();

}  // namespace res
