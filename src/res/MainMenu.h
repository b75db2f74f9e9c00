#pragma once
// The main frame's menu bar and accelerator table (resource 128).

#include <wx/accel.h>

class wxMenuBar;

namespace res {

// Builds the menu bar with its four popups and every item's exact text. User-interface thread.
wxMenuBar* CreateMainMenuBar();

// The twelve accelerator keys, each sending its own command id, and the keypad's Enter, Home,
// End, Left and Right, which send the commands of the main keys.
wxAcceleratorTable CreateMainAccelerators();

}  // namespace res
