#pragma once
// Real input and real screen contents on the test display, through the X server: the XTEST
// extension presses keys and buttons and turns the wheel the way a user's keyboard and mouse do
// (the event goes through the server, the window manager and the toolkit), and the screen is
// read back from the root window rather than from any window's own buffers.
// User-interface thread of a wxWidgets test only.

#include <wx/gdicmn.h>
#include <wx/image.h>

namespace testing_support {

// Moves the pointer to a point in screen coordinates.
void XMovePointer(const wxPoint& screen);
// Presses (down) or releases the mouse button (1 left, 2 middle, 3 right).
void XButton(int button, bool down);
// Turns the wheel by notches: negative up (away from the user), positive down.
void XWheel(int notches);
// Presses and releases the key that carries keysym in the current keyboard map, without adding
// any modifier: a keypad key gives what the Num Lock state makes of it.
void XKeyTap(unsigned long keysym);
// Locks or unlocks Num Lock, as its key does.
void XSetNumLock(bool on);
bool XNumLockOn();
// What the screen shows in rect (screen coordinates).
wxImage XScreenImage(const wxRect& rect);

}  // namespace testing_support
