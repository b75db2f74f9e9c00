#include "engine/record/FileSyncer.h"

CFileSyncer::CFileSyncer(std::shared_ptr<platform::FileSync> sync) : m_sync(std::move(sync)) {}

CFileSyncer::~CFileSyncer()
{
    Finish({});
    Join();
}

void CFileSyncer::Start(int fd, std::string newFilePath)
{
    if (m_thread.joinable())
        return;
    m_thread = std::thread([this, fd, path = std::move(newFilePath)] { Run(fd, path); });
}

void CFileSyncer::Written()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_unsynced)
        return;
    m_unsynced = true;
    m_unsyncedSince = Clock::now();
    m_wake.notify_one();
}

void CFileSyncer::Finish(std::function<void()> last)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finishing)
            return;
        m_finishing = true;
        m_last = std::move(last);
    }
    m_wake.notify_one();
    if (!m_thread.joinable()) {
        if (m_last)
            m_last();
        m_finished.store(true, std::memory_order_release);
    }
}

void CFileSyncer::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void CFileSyncer::Sync(int fd)
{
    if (!Failed() && !m_sync->Data(fd))
        m_failed.store(true, std::memory_order_release);
}

void CFileSyncer::Run(int fd, const std::string& newFilePath)
{
    // A new file's entry in its folder is made durable once, before anything else.
    if (!newFilePath.empty() && !m_sync->FolderOf(newFilePath))
        m_failed.store(true, std::memory_order_release);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_unsynced && !m_finishing)
            m_wake.wait_until(lock, m_unsyncedSince + kInterval, [this] { return m_finishing; });
        else if (!m_finishing)
            m_wake.wait(lock, [this] { return m_unsynced || m_finishing; });
        const bool due = m_unsynced && (m_finishing || Clock::now() >= m_unsyncedSince + kInterval);
        if (due) {
            m_unsynced = false;
            lock.unlock();
            Sync(fd);
            lock.lock();
            continue;
        }
        if (m_finishing && !m_unsynced)
            break;
    }
    const std::function<void()> last = std::move(m_last);
    lock.unlock();
    if (last)
        last();
    m_finished.store(true, std::memory_order_release);
}
