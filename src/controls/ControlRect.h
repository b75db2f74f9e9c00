#pragma once
// Control rectangles given by their edges, as the panel's layout table lists them: left and
// top inside, right and bottom just outside.

#include <wx/gdicmn.h>

namespace controls {

inline wxRect EdgeRect(int left, int top, int right, int bottom)
{
    return wxRect(left, top, right - left, bottom - top);
}

}  // namespace controls
