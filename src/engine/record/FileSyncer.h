#pragma once
// Puts what a writer wrote on the disk, on a thread of its own: the file's data whenever the
// oldest write not yet synced is kInterval old, the folder entry of a file just made first of
// all, and everything at the end. A slow disk (a USB stick, a network share) then holds up
// neither the encoding nor the window, and a sync that fails is a failed write: the data it was
// to put on the disk may be lost, so Failed() stays true from then on, even if later syncs work.
//
// Threads. Start, Finish, Join and the queries on the owner's thread; Written on the writing
// thread; the syncs, and the last step Finish is given, on the syncer's own thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/FileSync.h"

class CFileSyncer {
public:
    // How long written data may wait for its sync.
    static constexpr std::chrono::milliseconds kInterval{900};

    explicit CFileSyncer(std::shared_ptr<platform::FileSync> sync);
    // Finishes if nobody did, and waits for the thread.
    ~CFileSyncer();
    CFileSyncer(const CFileSyncer&) = delete;
    CFileSyncer& operator=(const CFileSyncer&) = delete;

    // Starts syncing fd, which must stay open until the thread has ended. newFilePath: the path
    // of a file just made, whose folder entry is synced first; empty for none.
    void Start(int fd, std::string newFilePath);
    // Data was written to the file just now. Writing thread.
    void Written();
    // Nothing more will be written: syncs what is left, then runs last on the syncer's thread
    // and ends (without a thread, last runs here). Never waits.
    void Finish(std::function<void()> last);
    // A sync (or the folder's) failed.
    bool Failed() const { return m_failed.load(std::memory_order_acquire); }
    // The last sync is done and last has run.
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    void Join();

private:
    using Clock = std::chrono::steady_clock;
    void Run(int fd, const std::string& newFilePath);  // syncer thread
    void Sync(int fd);                                   // syncer thread

    std::shared_ptr<platform::FileSync> m_sync;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_unsynced = false;
    Clock::time_point m_unsyncedSince;
    bool m_finishing = false;
    std::function<void()> m_last;
    std::thread m_thread;
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_finished{false};
};
