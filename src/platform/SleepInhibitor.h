#pragma once
// Keeps the computer from sleeping while the program records: held from Hold to Release.
// LoginSleepInhibitor asks the login manager over D-Bus; tests may put a fake in its place.
//
// Thread: user-interface thread. Neither call waits: the login manager answers later, or not
// at all, and the recording never depends on it.

namespace platform {

class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // Asks that the computer neither sleeps nor suspends on idle. Calling it again while held
    // does nothing.
    virtual void Hold() = 0;
    // Lets the computer sleep again (also a Hold still waiting for its answer).
    virtual void Release() = 0;
};

}  // namespace platform
