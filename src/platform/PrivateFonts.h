#pragma once
// Makes fonts that come with Debian packages but live outside the system's font folders usable
// by name: Wine's "Tahoma" (package fonts-wine), the face the display controls are drawn in.

namespace platform {

// Call once before the first window is created. Fonts not installed are skipped silently.
void RegisterPrivateFonts();

}  // namespace platform
