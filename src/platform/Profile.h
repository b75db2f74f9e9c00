#pragma once
// The program's four profile operations over the per-user settings store.
//
// SetRegistryKey selects the store under the company key: on Linux the INI file
// "<config>/<company>/<program name>.conf", on Windows the registry key
// HKEY_CURRENT_USER\Software\<company>\<program name>. Before a store is selected every read
// gives its default and every write is dropped. Reads and writes report no errors: a failed
// write is silently lost. User-interface thread only.

#include <memory>
#include <string>

#include "platform/ProfileStore.h"

#ifdef _WIN32
// <windows.h> names its own profile functions as macros (GetProfileInt becomes GetProfileIntW);
// wherever a toolkit header brought it in, ours would be renamed and never found. Included here
// first (through the toolkit, which takes away the macros that clash with its own names), its
// profile macros are taken away for good.
#include <wx/msw/wrapwin.h>
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString
#endif

namespace platform {

void SetRegistryKey(const std::string& company);

// Uses store instead (tests); nullptr returns to "no store selected".
void SetProfileStore(std::unique_ptr<ProfileStore> store);

// Where the selected INI file lives ("" when none is selected or the store is not a file).
std::string ProfileFilePath();

int GetProfileInt(const std::string& section, const std::string& key, int def);
void WriteProfileInt(const std::string& section, const std::string& key, int value);
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def);
void WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace platform
