#pragma once
// Tells whether a sound input has fallen behind the clock: each delivery extends the time up to
// which sound has been heard by the delivery's own length, and the input is behind when that
// time lies further in the past than a limit. Measured against the sound's length rather than
// against the last delivery, a source that hands over seconds of sound at a time (a long source
// latency, a network or Bluetooth source) is not taken for a stalled one, while a source that
// stops delivering is caught within the limit however it delivered before.
//
// A whole program that was stopped (SIGSTOP, a debugger, a suspended virtual machine) finds its
// input behind when it goes on, before the input has handed over what piled up meanwhile:
// Stalled therefore takes an input for stalled only when it is still behind kConfirm after it
// was first seen behind.
//
// Times are steady-clock nanoseconds passed in by the caller, so the rules can be tried on any
// timeline. Thread: Start before the device runs; Delivered on the device's thread only; Behind
// on any thread; Stalled on the owner's thread only.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

class CInputClock {
public:
    // The first sound may come this much later than the limit after Start: a source with a long
    // latency hands over its first block only once that latency has passed.
    static constexpr std::chrono::milliseconds kFirstSoundGrace{2500};
    // The most sound may be ahead of the clock: a burst of stored-up input (at the start, or a
    // server catching up) counts up to this much, and a device clock that runs a little fast
    // never adds up over hours into a late loss report.
    static constexpr std::chrono::milliseconds kMaxLead{4000};
    // How long an input seen behind must stay behind to count as stalled.
    static constexpr std::chrono::milliseconds kConfirm{500};

    // bytesPerSecond: the rate of the delivered format (frames per second times frame size).
    explicit CInputClock(double bytesPerSecond);

    void Start(std::int64_t now);
    void Delivered(std::int64_t now, std::size_t bytes);
    // True when the sound heard so far ends more than limit before now.
    bool Behind(std::int64_t now, std::chrono::nanoseconds limit) const;
    // True when the input has been behind (as Behind tells) at every call for at least kConfirm.
    bool Stalled(std::int64_t now, std::chrono::nanoseconds limit);

private:
    double m_nanosPerByte;
    std::atomic<std::int64_t> m_heardUntil{0};
    std::atomic<bool> m_heard{false};
    bool m_seenBehind = false;  // owner's thread
    std::int64_t m_behindSince = 0;
};
