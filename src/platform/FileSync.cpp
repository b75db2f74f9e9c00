#include "platform/FileSync.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "platform/UniqueFd.h"

namespace platform {

#ifndef _WIN32
namespace {

// Tells once per folder that its entries are left to the file system.
void LogRefusedOnce(const std::string& folder, int error)
{
    static std::mutex mutex;
    static std::set<std::string>* logged = new std::set<std::string>();  // lives to the end
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!logged->insert(folder).second)
            return;
    }
    std::fprintf(stderr,
                 "dravellin-recorder: %s: the folder cannot be synced (%s); the entries of new files in it "
                 "are left to the file system\n",
                 folder.c_str(), std::strerror(error));
}

}  // namespace
#endif

FileSync::~FileSync() = default;

bool FileSync::Data(int fd)
{
#ifdef _WIN32
    return ::_commit(fd) == 0;
#elif defined(__APPLE__)
    return ::fsync(fd) == 0;
#else
    return ::fdatasync(fd) == 0;
#endif
}

bool FileSync::FolderRefused(int error)
{
    return error == EINVAL || error == EACCES || error == EBADF || error == EROFS;
}

bool FileSync::FolderOf(const std::string& path)
{
#ifdef _WIN32
    (void)path;
    return true;  // NTFS journals the entry with the file; a folder cannot be flushed
#else
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    const int error = SyncFolder(folder);
    if (error == 0)
        return true;
    if (!FolderRefused(error))
        return false;
    LogRefusedOnce(folder, error);
    return true;
#endif
}

int FileSync::SyncFolder(const std::string& folder)
{
#ifdef _WIN32
    (void)folder;
    return 0;
#else
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid())
        return errno;
    return ::fsync(dir.Get()) == 0 ? 0 : errno;
#endif
}

}  // namespace platform
