#include "engine/record/PendingWrites.h"

#include <algorithm>
#include <thread>

#include "engine/record/WaveRecorder.h"

CPendingWrites& CPendingWrites::Get()
{
    // Never destroyed: a recorder still syncing at exit is not waited for by a destructor.
    static CPendingWrites* pending = new CPendingWrites();
    return *pending;
}

void CPendingWrites::Keep(std::shared_ptr<CWaveRecorder> recorder)
{
    Reap();
    if (recorder && !recorder->Finished())
        m_recorders.push_back(std::move(recorder));
}

bool CPendingWrites::Busy(const std::string& path)
{
    Reap();
    return std::any_of(m_recorders.begin(), m_recorders.end(),
                       [&](const std::shared_ptr<CWaveRecorder>& r) { return r->Path() == path; });
}

void CPendingWrites::Reap()
{
    m_recorders.erase(std::remove_if(m_recorders.begin(), m_recorders.end(),
                                     [](const std::shared_ptr<CWaveRecorder>& r) { return r->Finished(); }),
                      m_recorders.end());
}

bool CPendingWrites::WaitAll(std::chrono::milliseconds grace)
{
    using Clock = std::chrono::steady_clock;
    const auto allWritten = [this] {
        return std::all_of(m_recorders.begin(), m_recorders.end(),
                           [](const std::shared_ptr<CWaveRecorder>& r) { return r->Written(); });
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
