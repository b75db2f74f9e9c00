#include "panel/RecordTimer.h"

#include "files/Clock.h"
#include "platform/ProfileKeys.h"

CRecordTimer::CRecordTimer(const CClock& clock) : m_clock(clock) {}

void CRecordTimer::Arm(const TimerPlan& plan)
{
    m_plan = plan;
    m_state = State::Armed;
    Store();
}

void CRecordTimer::Cancel()
{
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    ClearStore();
}

void CRecordTimer::Restore()
{
    m_state = State::Idle;
    const std::string start = platform::ReadSetting(platform::kTimerStart);
    if (start.empty())
        return;
    TimerPlan plan;
    const int duration = platform::ReadSetting(platform::kTimerDuration);
    plan.duration = duration > 0 ? duration : 0;
    plan.newFile = platform::ReadSetting(platform::kTimerNewFile) == 1;
    const std::time_t now = m_clock.Now();
    if (ParseLocalTime(start, &plan.start) && (plan.start > now || now < plan.start + plan.duration)) {
        // A recording that was running when the program ended appends what is left of it.
        if (plan.start <= now)
            plan.newFile = false;
        m_plan = plan;
        m_state = State::Armed;
        return;
    }
    ClearStore();
}

CRecordTimer::Action CRecordTimer::Poll()
{
    const std::time_t now = m_clock.Now();
    switch (m_state) {
    case State::Idle:
        return Action::None;
    case State::Armed:
        if (now < m_plan.start)
            return Action::None;
        if (m_plan.duration > 0 && now >= m_plan.start + m_plan.duration) {
            Cancel();
            return Action::None;
        }
        if (m_plan.duration == 0) {
            // Nothing is left to do for this plan once it has started.
            m_state = State::Idle;
            ClearStore();
            return Action::Start;
        }
        m_state = State::Running;
        m_stopWall = static_cast<std::int64_t>(m_plan.start) + m_plan.duration;
        m_stopSteadyMs = m_clock.SteadyMs() + (m_stopWall - static_cast<std::int64_t>(now)) * 1000;
        return Action::Start;
    case State::Running:
        if (static_cast<std::int64_t>(now) < m_stopWall && m_clock.SteadyMs() < m_stopSteadyMs)
            return Action::None;
        m_state = State::Idle;
        ClearStore();
        return Action::Stop;
    }
    return Action::None;
}

void CRecordTimer::Store() const
{
    platform::WriteSetting(platform::kTimerStart, FormatLocalTime(m_plan.start));
    platform::WriteSetting(platform::kTimerDuration, static_cast<int>(m_plan.duration));
    platform::WriteSetting(platform::kTimerNewFile, m_plan.newFile ? 1 : 0);
}

void CRecordTimer::ClearStore()
{
    platform::WriteSetting(platform::kTimerStart, std::string());
}
