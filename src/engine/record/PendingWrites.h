#pragma once
// Recordings that have stopped but whose writer is still at work: the last buffers being
// encoded and written, the last sync, the file's closing. The window hands each stopped
// recorder here instead of waiting for the disk, and a recorder is dropped once it has
// finished. A recording into a file whose earlier recording is still kept here must not start
// (the file would be opened twice for writing); at the program's end, what was written is given
// a little time to reach the disk.
//
// A recorder that finishes with a failed write (its last sync, most often) is never dropped
// silently: its file's path is kept until TakeFailures hands it to whoever tells the user,
// unless its failure had been told before it was handed here.
//
// Thread: the user-interface thread only.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class CWaveRecorder;

class CPendingWrites {
public:
    static CPendingWrites& Get();

    // Keeps a stopped recorder until it has finished; the caller may keep its own reference to
    // follow it. failureTold: a write failure it has now was already shown to the user.
    void Keep(std::shared_ptr<CWaveRecorder> recorder, bool failureTold = false);
    // A recording into path has not finished yet.
    bool Busy(const std::string& path);
    // Drops the recorders that have finished (their threads end at once), noting the failed.
    void Reap();
    // No recorder is kept and no failure waits to be taken.
    bool Idle() const { return m_recorders.empty() && m_failures.empty(); }
    // The files of the recorders that finished with a failed write not told yet, oldest first;
    // each is handed out once.
    std::vector<std::string> TakeFailures();
    // The files of the recorders still at work.
    std::vector<std::string> Unfinished() const;
    // At the program's end: waits until every kept recorder has handed all it captured to the
    // system, then at most grace for the last syncs. True when all have finished; a recorder
    // still syncing then is left to the system (the file holds everything, it may only not be
    // on the disk yet).
    bool WaitAll(std::chrono::milliseconds grace);

private:
    struct Kept {
        std::shared_ptr<CWaveRecorder> recorder;
        bool failureTold = false;
    };

    CPendingWrites() = default;
    std::vector<Kept> m_recorders;
    std::vector<std::string> m_failures;
};
