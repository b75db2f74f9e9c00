#include "platform/SignalPipe.h"

#include <atomic>
#include <csignal>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

#ifdef _WIN32

std::atomic<bool> g_pending{false};
bool g_installed = false;

void OnSignal(int sig)
{
    g_pending.store(true);
    std::signal(sig, OnSignal);  // the handler is reset to the default on every delivery
}

#else

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

#endif

}  // namespace

bool SignalPipe::Install()
{
#ifdef _WIN32
    if (g_installed)
        return true;
    g_installed = true;
    return std::signal(SIGINT, OnSignal) != SIG_ERR && std::signal(SIGTERM, OnSignal) != SIG_ERR;
#else
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
#endif
}

bool SignalPipe::TakePending()
{
#ifdef _WIN32
    return g_pending.exchange(false);
#else
    if (g_pipe[0] < 0)
        return false;
    bool any = false;
    char bytes[64];
    ssize_t n;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        any = true;
    return any;
#endif
}

int SignalPipe::ReadFd()
{
#ifdef _WIN32
    return -1;
#else
    return g_pipe[0];
#endif
}

}  // namespace platform
