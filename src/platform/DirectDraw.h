#pragma once
// Copies a finished picture onto a window at once, outside the toolkit's paint cycle, with
// nothing between the picture and the window but one cairo context: no device context object,
// no font or colour set-up, no repaint of the parent. This is what a custom control that shows
// a new picture ten times a second needs to stay cheap.
//
// User-interface thread.

class wxBitmap;
class wxWindow;

namespace platform {

// Draws bitmap at the window's top left corner, unscaled and unmasked. False when nothing was
// drawn: the display only shows what is painted (Wayland, other platforms), or the window has
// no native drawing surface yet; the caller then asks for a repaint instead.
bool DrawNow(wxWindow& window, const wxBitmap& bitmap);

}  // namespace platform
