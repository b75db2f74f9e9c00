#include "platform/windows/PosixFile.h"

#include <cerrno>

#include <io.h>
#include <windows.h>

#include "platform/windows/WideText.h"

ssize_t pread(int fd, void* buffer, std::size_t n, off_t offset)
{
    const HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (file == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    const DWORD want = n > 0x40000000u ? 0x40000000u : static_cast<DWORD>(n);
    if (!::ReadFile(file, buffer, want, &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        errno = EIO;
        return -1;
    }
    return static_cast<ssize_t>(got);
}

int lstat(const char* utf8Path, struct stat* st)
{
    return ::_wstat64(platform::Wide(utf8Path).c_str(), st);
}
