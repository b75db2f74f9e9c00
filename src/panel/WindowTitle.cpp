#include "panel/WindowTitle.h"

#include <cstring>

char g_windowTitle[256] = "<No file> - Dravellin Recorder";

void SetWindowTitleText(const std::string& utf8Title)
{
    std::size_t n = std::min(utf8Title.size(), sizeof g_windowTitle - 1);
    // Step back over continuation bytes so a multi-byte character is kept whole or dropped.
    if (n < utf8Title.size())
        while (n > 0 && (static_cast<unsigned char>(utf8Title[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(g_windowTitle, utf8Title.data(), n);
    g_windowTitle[n] = '\0';
}

std::string WindowTitleText() { return g_windowTitle; }

std::string MakeWindowTitle(const std::string& utf8FileName)
{
    return utf8FileName + " - Dravellin Recorder";
}
