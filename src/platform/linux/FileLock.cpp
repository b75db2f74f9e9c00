#include "platform/linux/FileLock.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileLock::FileLock(const std::string& lockPath)
{
    UniqueFd fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd.Valid())
        return;
    int rc;
    do {
        rc = ::flock(fd.Get(), LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0)
        m_fd = std::move(fd);
}

bool MakeDirectories(const std::string& dir)
{
    if (dir.empty())
        return true;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const std::size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash)))
        return false;
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& contents)
{
    const std::string temp = path + ".tmp." + std::to_string(::getpid());
    UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.Valid())
        return false;
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.Get(), p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::unlink(temp.c_str());
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd.Get()) != 0 || ::close(fd.Release()) != 0 ||
        std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
