#pragma once
// The recording timer: a plan (start, duration, file) that is armed, kept in the settings'
// [Timer] section so a restart or a log-out does not lose it, and followed on the wall clock.
//
// Poll, called from a user-interface timer, says when to start and when to stop. Each armed plan
// gives at most one start and one stop, whatever the clock does: a start is taken once, and a
// running recording stops at the wall-clock end of its duration or, should the clock have been
// set back, once its duration has passed on the steady clock. User-interface thread only.

#include <cstdint>

#include "panel/TimerEntries.h"

class CClock;

class CRecordTimer {
public:
    enum class Action { None, Start, Stop };

    explicit CRecordTimer(const CClock& clock);

    // Arms plan and stores it.
    void Arm(const TimerPlan& plan);
    // Forgets the plan, armed or running, and clears the stored one.
    void Cancel();
    // Reads the stored plan at start-up: armed again when its start still lies ahead, or when
    // it started less than its duration ago (then the first Poll starts it for the time left).
    // Anything else stored is cleared.
    void Restore();

    // Waiting for its start.
    bool IsArmed() const { return m_state == State::Armed; }
    // Started, with a stop to come.
    bool IsRunning() const { return m_state == State::Running; }
    const TimerPlan& Plan() const { return m_plan; }

    // What to do now. Start once the start is reached (a plan whose whole span has already
    // passed, as after a suspend, is dropped without a start); Stop once the duration is over.
    Action Poll();

private:
    enum class State { Idle, Armed, Running };

    void Store() const;
    static void ClearStore();

    const CClock& m_clock;
    TimerPlan m_plan;
    State m_state = State::Idle;
    // When the running recording must end: on the wall clock, and on the steady clock.
    std::int64_t m_stopWall = 0;
    std::int64_t m_stopSteadyMs = 0;
};
