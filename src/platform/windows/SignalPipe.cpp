#include "platform/SignalPipe.h"

#include <atomic>
#include <csignal>

// Windows has no pipe a signal handler may write to: the handler sets a flag that TakePending
// reads, and there is no descriptor to watch.

namespace platform {
namespace {

std::atomic<bool> g_pending{false};
bool g_installed = false;

void OnSignal(int sig)
{
    g_pending.store(true);
    std::signal(sig, OnSignal);  // the handler is reset to the default on every delivery
}

}  // namespace

bool SignalPipe::Install()
{
    if (g_installed)
        return true;
    g_installed = true;
    return std::signal(SIGINT, OnSignal) != SIG_ERR && std::signal(SIGTERM, OnSignal) != SIG_ERR;
}

bool SignalPipe::TakePending() { return g_pending.exchange(false); }

int SignalPipe::ReadFd() { return -1; }

}  // namespace platform
