#pragma once
// The seven 32 x 32 icons of the panel's buttons (133, 149, 150, 151, 152, 154, 158), drawn
// from our own vector sources in black, greys and white, with a red record disc. The pictures
// sit in the middle of the 32 x 32 square so that they survive being cut to a small button.

#include <wx/bmpbndl.h>
#include <wx/gdicmn.h>

namespace res {

// True for the ids above.
bool HasButtonIcon(int iconId);

// The icon, or its middle part of size visible (at most 32 x 32) when a button shows less
// than the whole square: cut like a centred icon on a smaller button, on whole pixels, so
// the picture stays crisp. An empty bundle for an unknown id.
wxBitmapBundle ButtonIcon(int iconId, const wxSize& visible = wxSize(32, 32));

}  // namespace res
