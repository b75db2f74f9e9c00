#pragma once
// Makes fonts that come with Debian packages but live outside the system's font folders usable
// by name: Wine's "Tahoma" (package fonts-wine), the face the display controls are drawn in.

namespace platform {

// Call once before the first window is created. Fonts not installed are skipped silently.
// On Linux the files are added to the font configuration the toolkit already uses, so nothing
// is loaded twice and no font configuration is rebuilt.
void RegisterPrivateFonts();

// True when a font family of this name can be drawn with (registered ones included). Asks the
// font configuration for that one family rather than listing every family there is.
bool FontFamilyInstalled(const char* family);

}  // namespace platform
