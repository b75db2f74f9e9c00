#pragma once
// The program keeps paths and texts as UTF-8 in std::string; Windows' own functions take UTF-16.
// Every call into Windows that takes a path or a text converts at the call, with these, so
// names in any script (Cyrillic file and folder names) work whatever the system's code page.
// Windows only. Any thread.

#include <string>

namespace platform {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring Wide(const std::string& utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide, std::size_t length);

}  // namespace platform
