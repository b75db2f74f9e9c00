#include "platform/ProgramIcons.h"

// A Linux program carries no icon resources: the desktop finds the installed icon by name, and
// the window's icon is drawn by the program.

namespace platform {

bool LoadProgramIcons(wxIconBundle&) { return false; }

}  // namespace platform
