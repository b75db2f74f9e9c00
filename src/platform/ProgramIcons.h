#pragma once
// The icons the system keeps for the program itself, where it keeps them: on Windows the
// executable carries its icon in every size as a resource (the one the shell shows), and
// loading those is cheaper at start-up than drawing the program's picture at each size.

#include <wx/iconbndl.h>

namespace platform {

// Fills icons with the program's own icons and returns true; false where the system keeps none
// (the program then draws its picture). User-interface thread.
bool LoadProgramIcons(wxIconBundle& icons);

}  // namespace platform
