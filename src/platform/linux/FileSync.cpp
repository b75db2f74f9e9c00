#include "platform/FileSync.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <unistd.h>

#include "platform/UniqueFd.h"

namespace platform {

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

bool FileSync::Data(int fd)
{
    return ::fdatasync(fd) == 0;
}

bool FileSync::FolderOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    const int error = SyncFolder(folder);
    if (error == 0)
        return true;
    if (!FolderRefused(error))
        return false;
    LogRefusedOnce(folder, error);
    return true;
}

int FileSync::SyncFolder(const std::string& folder)
{
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid())
        return errno;
    return ::fsync(dir.Get()) == 0 ? 0 : errno;
}

}  // namespace platform
