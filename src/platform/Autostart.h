#pragma once
// Automatic start of the program when the user logs on.
//
// Linux: an XDG autostart entry "<name>.desktop" in ${XDG_CONFIG_HOME:-~/.config}/autostart/
// whose Exec line starts the running executable by its full path. Windows: the value <name>
// under HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Run holding the quoted path
// of the running executable. User-interface thread.

#include <string>

namespace platform {

// Registers (on) or removes (off) the automatic start under name. Registering always writes the
// current executable's path, so a moved program is put right. Removing an entry that is not
// there succeeds. False when the place of the entries cannot be created, opened or written (or
// the executable's path is unknown); nothing was changed then.
bool SetAutostart(const std::string& name, bool on);

// The settings' check box for the automatic start, naming what starts the program: Windows'
// Run key starts it when Windows starts, an XDG autostart entry when the user logs in.
const char* AutostartLabel();

// Where the entry for name lives: the .desktop file on Linux, "HKCU\...\Run\<name>" on Windows.
std::string AutostartLocation(const std::string& name);

// Linux only: the text of the desktop entry that starts executable, with the path quoted and
// escaped as desktop entries require.
std::string AutostartDesktopEntry(const std::string& name, const std::string& executable);

// executable as one argument of a desktop entry's Exec key: quoted when it holds a reserved
// character, with the quoting, string and field-code escapes applied.
std::string DesktopExecArgument(const std::string& executable);

}  // namespace platform
