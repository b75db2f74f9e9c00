// Windows twin of platform/linux/SafeOpen.cpp: files are opened with CreateFileW on the UTF-16 path
// and handed to the C runtime as binary descriptors, so the rest of the program reads and
// writes them as it does on Linux. The single writer is held by LockFileEx.
#include "platform/SafeOpen.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/windows/WideText.h"

namespace platform {

namespace {

std::atomic<LockFunction> g_lock{nullptr};

// Where the writer's lock lies: one byte far beyond any file's end. A lock over the data itself
// would make every read of it through another handle fail (Windows' byte-range locks are
// mandatory), and readers (the player, the size line, a reload while the writer still
// finishes) must go on reading; writers all ask for this byte, so only one of them gets it.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFFF0;

int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

int LockWithLockFileEx(int fd, int)
{
    const HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return 0;
    const DWORD error = ::GetLastError();
    errno = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? EWOULDBLOCK : ENOLCK;
    return -1;
}

}  // namespace

UniqueFd OpenRegularFile(const std::string& path, int flags, unsigned)
{
    const int accessMode = flags & (O_RDONLY | O_WRONLY | O_RDWR);
    DWORD access = GENERIC_READ;
    if (accessMode == O_WRONLY)
        access = GENERIC_WRITE;
    else if (accessMode == O_RDWR)
        access = GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & O_CREAT) && (flags & O_EXCL))
        disposition = CREATE_NEW;
    else if ((flags & O_CREAT) && (flags & O_TRUNC))
        disposition = CREATE_ALWAYS;
    else if (flags & O_CREAT)
        disposition = OPEN_ALWAYS;
    else if (flags & O_TRUNC)
        disposition = TRUNCATE_EXISTING;
    // Readers and the writer share the file; the writer's lock keeps a second writer out.
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(::GetLastError());
        return UniqueFd();
    }
    // A named pipe, a console or a device ("NUL", "COM1") is refused before anything touches it;
    // a folder cannot be opened this way at all.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        errno = EINVAL;
        return UniqueFd();
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file),
                                     accessMode | (flags & O_APPEND) | O_BINARY);
    if (fd < 0) {
        ::CloseHandle(file);
        errno = EMFILE;
        return UniqueFd();
    }
    return UniqueFd(fd);
}

LockResult TryLockExclusive(int fd, const std::string& path)
{
    const LockFunction lock = g_lock.load();
    if ((lock ? lock : LockWithLockFileEx)(fd, 0) == 0)
        return LockResult::Locked;
    if (errno == EWOULDBLOCK)
        return LockResult::HeldElsewhere;
    std::fprintf(stderr, "%s: cannot lock the file; going on without the lock\n", path.c_str());
    return LockResult::Unsupported;
}

LockFunction SetLockFunction(LockFunction lock) { return g_lock.exchange(lock); }

// Windows has no file-size signal: a write past a limit fails and the writer reports it.
void IgnoreFileSizeSignal() {}

}  // namespace platform
