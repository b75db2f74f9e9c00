#include "platform/SignalPipe.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

// Written by the handler, read by the user-interface thread; both ends non-blocking, so a
// burst of signals never blocks the handler (a full pipe already says "pending").
int g_pipe[2] = {-1, -1};

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

bool MakePipe()
{
    if (::pipe(g_pipe) != 0)
        return false;
    for (int fd : g_pipe) {
        if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0 ||
            ::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0)
            return false;
    }
    return true;
}

}  // namespace

bool SignalPipe::Install()
{
    if (g_pipe[0] >= 0)
        return true;
    if (!MakePipe())
        return false;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool ok = true;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ok = ::sigaction(sig, &action, nullptr) == 0 && ok;
    return ok;
}

bool SignalPipe::TakePending()
{
    if (g_pipe[0] < 0)
        return false;
    bool any = false;
    char bytes[64];
    ssize_t n;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        any = true;
    return any;
}

int SignalPipe::ReadFd()
{
    return g_pipe[0];
}

}  // namespace platform
