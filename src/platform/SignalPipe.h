#pragma once
// The termination signals (SIGTERM from the session's end or `kill`, SIGINT from Ctrl+C in a
// terminal, SIGHUP from a closed terminal) turned into a request the user-interface thread reads:
// the handler only writes one byte into a pipe of its own (on Windows, where these signals come
// from the console, it sets a flag). Nothing of the toolkit runs inside the handler.
//
// Thread: Install and TakePending on the user-interface thread; the handler on whatever thread
// the system picks.

namespace platform {

class SignalPipe {
public:
    // Installs the handlers, once per process (later calls do nothing). Must run before any
    // library installs handlers of its own (SDL keeps its hands off signals that already have
    // one). False when the pipe or a handler could not be set up.
    static bool Install();

    // True when a signal arrived since the last call; empties the pipe. Never blocks.
    static bool TakePending();

    // The pipe's reading end, readable while a signal is pending, for a main-loop watch that
    // calls TakePending; -1 where there is no pipe (not installed, or Windows, where only
    // polling TakePending works). The descriptor belongs to this class.
    static int ReadFd();
};

}  // namespace platform
