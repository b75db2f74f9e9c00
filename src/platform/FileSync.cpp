#include "platform/FileSync.h"

#include <cerrno>

// The system calls are the platform's (linux/FileSync.cpp, windows/FileSync.cpp).

namespace platform {

FileSync::~FileSync() = default;

bool FileSync::FolderRefused(int error)
{
    return error == EINVAL || error == EACCES || error == EBADF || error == EROFS;
}

}  // namespace platform
