#include "platform/windows/WideText.h"

#include <windows.h>

namespace platform {

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const wchar_t* wide, std::size_t length)
{
    if (length == 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::string Utf8(const std::wstring& wide) { return Utf8(wide.data(), wide.size()); }

}  // namespace platform
