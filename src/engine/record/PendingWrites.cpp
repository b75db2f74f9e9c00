#include "engine/record/PendingWrites.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "engine/record/WaveRecorder.h"

CPendingWrites& CPendingWrites::Get()
{
    // Never destroyed: a recorder still syncing at exit is not waited for by a destructor.
    static CPendingWrites* pending = new CPendingWrites();
    return *pending;
}

void CPendingWrites::Keep(std::shared_ptr<CWaveRecorder> recorder, bool failureTold)
{
    if (recorder)
        m_recorders.push_back({std::move(recorder), failureTold});
    Reap();
}

bool CPendingWrites::Busy(const std::string& path)
{
    Reap();
    return std::any_of(m_recorders.begin(), m_recorders.end(),
                       [&](const Kept& kept) { return kept.recorder->Path() == path; });
}

void CPendingWrites::Reap()
{
    const auto finished = std::stable_partition(m_recorders.begin(), m_recorders.end(),
                                                [](const Kept& kept) { return !kept.recorder->Finished(); });
    for (auto it = finished; it != m_recorders.end(); ++it)
        if (!it->failureTold && it->recorder->WriteFailed()) {
            // Of a recording in pieces, the file whose write failed may be an earlier one.
            const std::string failed = it->recorder->FailedPath();
            m_failures.push_back(failed.empty() ? it->recorder->Path() : failed);
        }
    m_recorders.erase(finished, m_recorders.end());
}

std::vector<std::string> CPendingWrites::TakeFailures()
{
    Reap();
    return std::exchange(m_failures, {});
}

std::vector<std::string> CPendingWrites::Unfinished() const
{
    std::vector<std::string> paths;
    for (const Kept& kept : m_recorders)
        paths.push_back(kept.recorder->Path());
    return paths;
}

bool CPendingWrites::WaitAll(std::chrono::milliseconds grace)
{
    using Clock = std::chrono::steady_clock;
    const auto allWritten = [this] {
        return std::all_of(m_recorders.begin(), m_recorders.end(),
                           [](const Kept& kept) { return kept.recorder->Written(); });
    };
    while (!allWritten())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const Clock::time_point deadline = Clock::now() + grace;
    for (;;) {
        Reap();
        if (m_recorders.empty())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
