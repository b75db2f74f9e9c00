#pragma once
// What the timer dialog's fields say, and the plan they make: when a recording starts, how long
// it runs and into which file. Times are local (the system's time zone, with its daylight-saving
// rules) and become seconds since the epoch here, so a stop time across a clock change still
// gives the true duration.

#include <cstdint>
#include <ctime>
#include <string>

// A timer as armed: start instant, duration in seconds (0: until stopped by hand) and whether
// the recording goes into a new file with the standard name (else it appends to the current one).
struct TimerPlan {
    std::time_t start = 0;
    std::int64_t duration = 0;
    bool newFile = false;
};

enum class TimerStop { Never, After, At };

struct TimerEntries {
    bool startNow = true;
    // "ЧЧ:ММ", "ЧЧ:ММ:СС", or either after a date "ГГГГ-ММ-ДД ".
    std::string startText;
    TimerStop stop = TimerStop::Never;
    // "Ч:ММ:СС", "Ч:ММ" or a number of minutes.
    std::string durationText;
    // As startText.
    std::string stopText;
    bool newFile = false;
};

// Turns the entries into a plan at the wall-clock time now. A clock time without a date is
// today's, or tomorrow's once it has passed (for the stop: the first one after the start). On a
// refusal returns false and puts the sentence to show in *error.
bool MakeTimerPlan(const TimerEntries& entries, std::time_t now, TimerPlan* plan, std::string* error);

// "YYYY-MM-DD HH:MM:SS" of an instant in local time, and back; false for any other text.
std::string FormatLocalTime(std::time_t instant);
bool ParseLocalTime(const std::string& text, std::time_t* instant);
// Local "HH:MM" (":SS" added unless zero) of an instant, with "DD.MM " before it when it is not on the day of today.
std::string ShortLocalTime(std::time_t instant, std::time_t today);
