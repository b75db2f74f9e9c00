// Windows twin of platform/linux/ParentConsole.cpp: AttachConsole(ATTACH_PARENT_PROCESS), and the C
// library's stdout and stderr opened again on the console where their handles led nowhere.
#include "platform/ParentConsole.h"

#include <cstdio>

#include <io.h>
#include <windows.h>

#include "platform/windows/WideText.h"

namespace platform {
namespace {

bool g_attached = false;

// The handle leads to a pipe, a file or a console the caller gave.
bool Connected(DWORD which)
{
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void UseParentConsole()
{
    const bool out = Connected(STD_OUTPUT_HANDLE);
    const bool err = Connected(STD_ERROR_HANDLE);
    if ((out && err) || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    g_attached = true;
    if (!out)
        std::freopen("CONOUT$", "w", stdout);
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
}

void LeaveParentConsole()
{
    if (!g_attached)
        return;
    std::fflush(stdout);
    std::fflush(stderr);
    ::FreeConsole();
    g_attached = false;
}

void PrintText(std::FILE* stream, const std::string& utf8)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
        std::fputs(utf8.c_str(), stream);
        return;
    }
    std::fflush(stream);
    // Line breaks as the console wants them; the text in UTF-16, whatever the code page.
    std::string text;
    for (const char c : utf8) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    const std::wstring wide = Wide(text);
    DWORD written = 0;
    ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace platform
