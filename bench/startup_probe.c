/* Start-up probe: starts a program, waits until a top-level window of it is mapped on the X
 * display, and prints the time from the start to the mapping and the program's resident memory
 * a moment later; then ends the program.
 *
 * Usage: startup_probe <settle ms> <program> [args...]
 * Prints: "<ms to mapped> <resident kB>" */
#define _DEFAULT_SOURCE
#include <X11/Xlib.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec * 1000.0 + (double)ts.tv_nsec / 1e6;
}

static long RssKb(pid_t pid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    fclose(f);
    return kb;
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s <settle ms> <program> [args...]\n", argv[0]);
        return 2;
    }
    const int settle = atoi(argv[1]);
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "no display\n");
        return 2;
    }
    /* Every window mapped as a child of the root (a client without a window manager, or the
     * window manager's frame around it) is reported here. */
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    while (XPending(display)) {
        XEvent e;
        XNextEvent(display, &e);
    }
    const double start = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    double mapped = -1;
    const int fd = ConnectionNumber(display);
    while (mapped < 0 && Now() - start < 20000) {
        while (XPending(display)) {
            XEvent e;
            XNextEvent(display, &e);
            if (e.type == MapNotify && mapped < 0)
                mapped = Now() - start;
        }
        if (mapped >= 0)
            break;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        struct timeval tv = {0, 20000};
        select(fd + 1, &set, NULL, NULL, &tv);
        if (waitpid(pid, NULL, WNOHANG) == pid)
            break;
    }
    usleep((useconds_t)settle * 1000);
    const long rss = RssKb(pid);
    /* For looking closer: a copy of the memory map with its resident sizes. */
    const char* smaps = getenv("DR_PROBE_SMAPS");
    if (smaps) {
        char cmd[512];
        snprintf(cmd, sizeof cmd, "cp /proc/%d/smaps '%s'", (int)pid, smaps);
        if (system(cmd) != 0)
            fprintf(stderr, "could not copy the memory map\n");
    }
    kill(pid, SIGTERM);
    for (int i = 0; i < 200 && waitpid(pid, NULL, WNOHANG) == 0; ++i)
        usleep(10000);
    kill(pid, SIGKILL);
    waitpid(pid, NULL, 0);
    printf("%.1f %ld\n", mapped, rss);
    XCloseDisplay(display);
    return mapped < 0 ? 1 : 0;
}
