#include "platform/FileSync.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "platform/UniqueFd.h"

namespace platform {

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

bool FileSync::FolderOf(const std::string& path)
{
#ifdef _WIN32
    (void)path;
    return true;  // NTFS journals the entry with the file; a folder cannot be flushed
#else
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.Valid() && ::fsync(dir.Get()) == 0;
#endif
}

}  // namespace platform
