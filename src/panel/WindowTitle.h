#pragma once
// The main window's title text, shared by the frame and the panel: "<No file> - Dravellin Recorder"
// at start, "<file name> - Dravellin Recorder" after each successful load. A drag of the position
// slider shows its own text for a while and then puts this one back. User-interface thread only.

#include <string>

// 255 bytes of UTF-8 and a terminator; SetWindowTitleText never cuts a character in half.
extern char g_windowTitle[256];

void SetWindowTitleText(const std::string& utf8Title);
std::string WindowTitleText();

// "<name> - Dravellin Recorder".
std::string MakeWindowTitle(const std::string& utf8FileName);
