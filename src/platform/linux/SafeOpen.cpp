#include "platform/SafeOpen.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace platform {

namespace {

std::atomic<LockFunction> g_lock{nullptr};

}  // namespace

UniqueFd OpenRegularFile(const std::string& path, int flags, unsigned mode)
{
    UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, static_cast<mode_t>(mode)));
    if (!fd.Valid())
        return fd;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return UniqueFd();
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return UniqueFd();
    }
    const int status = ::fcntl(fd.Get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0)
        return UniqueFd();
    return fd;
}

LockResult TryLockExclusive(int fd, const std::string& path)
{
    const LockFunction lock = g_lock.load();
    int rc;
    do {
        rc = (lock ? lock : ::flock)(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0)
        return LockResult::Locked;
    if (errno == EWOULDBLOCK)
        return LockResult::HeldElsewhere;
    std::fprintf(stderr, "%s: cannot lock the file (%s); going on without the lock\n", path.c_str(), std::strerror(errno));
    return LockResult::Unsupported;
}

LockFunction SetLockFunction(LockFunction lock) { return g_lock.exchange(lock); }

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace platform
