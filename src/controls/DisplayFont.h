#pragma once
// The text font of the display controls: "Tahoma", or a similar narrow sans font where Tahoma
// is not installed, as big as Tahoma is with a line (cell) of cellHeight pixels.

#include <wx/font.h>

namespace controls {

wxFont DisplayFont(int cellHeight);

}  // namespace controls
