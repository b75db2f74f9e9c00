#pragma once
// Tells the user about recordings whose writer finished with a failed write after they stopped
// (their last sync, most often), each once and naming its file: in a message while the window
// is there, even during another recording; at the program's close after a bounded wait for the
// writers still at work; and, when no message could be shown (a close the system asked for, or
// a failure found after the window went), on standard error at once and in a message at the
// next start, kept meanwhile in the settings (Record/SyncFailedFiles).
//
// Thread: user-interface thread only.

#include <chrono>
#include <string>
#include <vector>

class CSavingFailures {
public:
    // How long the close waits for the writers' last syncs, once all is written.
    static constexpr std::chrono::milliseconds kCloseWait{2000};
    // How long the program's end waits for writers still at work once its window has gone.
    static constexpr std::chrono::milliseconds kExitWait{5000};

    // Shows a message for each failure the pending writers have found since the last call.
    static void ShowFound();
    // Before the window goes, its recording stopped: waits for the pending writers (kCloseWait)
    // and shows what failed, or keeps it for the next start when nobody attends the close.
    static void AtClose(bool attended);
    // After the window has gone: waits for the writers still at work (kExitWait); what failed is
    // kept for the next start, what is still syncing is named on standard error.
    static void AtExit();
    // At start-up: shows the failures kept by an earlier run, once.
    static void ShowKept();

private:
    static void Log(const std::string& path);
    static void KeepForNextStart(const std::vector<std::string>& paths);
};
