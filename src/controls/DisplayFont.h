#pragma once
// The text font of the display controls: "Tahoma", or a similar narrow sans font where Tahoma
// is not installed, sized so that one line (ascent plus descent) is cellHeight pixels high.

#include <wx/font.h>

namespace controls {

wxFont DisplayFont(int cellHeight);

}  // namespace controls
