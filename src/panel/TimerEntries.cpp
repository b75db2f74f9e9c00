#include "panel/TimerEntries.h"

#include <cstdio>

#include "platform/LocalTime.h"

namespace {

constexpr std::int64_t kYearSeconds = 366LL * 24 * 3600;

// The instant of a local date and time; the system decides whether daylight-saving time applies.
std::time_t Instant(std::tm local)
{
    local.tm_isdst = -1;
    return std::mktime(&local);
}

// Parses "[YYYY-MM-DD ]HH:MM[:SS]". hasDate tells whether the date was given.
bool ParseClock(const std::string& text, std::tm* out, bool* hasDate)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    std::tm t{};
    if (std::sscanf(text.c_str(), " %4d-%2d-%2d %2d:%2d:%2d %c", &y, &mo, &d, &h, &mi, &s, &tail) == 6 ||
        (s = 0, std::sscanf(text.c_str(), " %4d-%2d-%2d %2d:%2d %c", &y, &mo, &d, &h, &mi, &tail) == 5)) {
        *hasDate = true;
    } else if (y = mo = d = 0, std::sscanf(text.c_str(), " %2d:%2d:%2d %c", &h, &mi, &s, &tail) == 3 ||
               (s = 0, std::sscanf(text.c_str(), " %2d:%2d %c", &h, &mi, &tail) == 2)) {
        *hasDate = false;
    } else {
        return false;
    }
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return false;
    if (*hasDate && (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > 31))
        return false;
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    *out = t;
    return true;
}

// The first instant at this clock time after `after` (on its day or the next), or the dated one.
bool ResolveClock(const std::string& text, std::time_t after, std::time_t* instant)
{
    std::tm t{};
    bool hasDate = false;
    if (!ParseClock(text, &t, &hasDate))
        return false;
    if (!hasDate) {
        const std::tm day = platform::LocalTime(after);
        t.tm_year = day.tm_year;
        t.tm_mon = day.tm_mon;
        t.tm_mday = day.tm_mday;
        std::time_t candidate = Instant(t);
        if (candidate <= after) {
            ++t.tm_mday;  // mktime carries it into the next month or year
            candidate = Instant(t);
        }
        *instant = candidate;
        return candidate != static_cast<std::time_t>(-1);
    }
    const std::tm asked = t;
    *instant = Instant(t);
    const std::tm back = platform::LocalTime(*instant);
    // 31 February and the like are refused rather than moved into the next month.
    return *instant != static_cast<std::time_t>(-1) && back.tm_mday == asked.tm_mday && back.tm_mon == asked.tm_mon;
}

// "Ч:ММ:СС", "Ч:ММ" or minutes; may be negative. False when not a duration at all.
bool ParseDuration(const std::string& text, std::int64_t* seconds)
{
    long long a = 0, b = 0, c = 0;
    char tail = 0;
    const bool negative = text.find('-') != std::string::npos;
    std::string digits = text;
    for (char& ch : digits)
        if (ch == '-')
            ch = ' ';
    if (std::sscanf(digits.c_str(), " %lld:%2lld:%2lld %c", &a, &b, &c, &tail) == 3) {
        if (b > 59 || c > 59)
            return false;
        *seconds = a * 3600 + b * 60 + c;
    } else if (std::sscanf(digits.c_str(), " %lld:%2lld %c", &a, &b, &tail) == 2) {
        if (b > 59)
            return false;
        *seconds = a * 3600 + b * 60;
    } else if (std::sscanf(digits.c_str(), " %lld %c", &a, &tail) == 1) {
        *seconds = a * 60;
    } else {
        return false;
    }
    if (a < 0 || a > 100000)
        return false;
    if (negative)
        *seconds = -*seconds;
    return true;
}

bool Refuse(std::string* error, const char* sentence)
{
    *error = sentence;
    return false;
}

}  // namespace

bool MakeTimerPlan(const TimerEntries& entries, std::time_t now, TimerPlan* plan, std::string* error)
{
    TimerPlan made;
    made.newFile = entries.newFile;
    made.start = now;
    if (!entries.startNow) {
        if (!ResolveClock(entries.startText, now, &made.start))
            return Refuse(error, "Время начала не распознано. Введите его как ЧЧ:ММ или ГГГГ-ММ-ДД ЧЧ:ММ.\n");
        if (made.start <= now)
            return Refuse(error, "Время начала уже прошло.\n");
        if (made.start - now > kYearSeconds)
            return Refuse(error, "Время начала больше чем через год.\n");
    }
    switch (entries.stop) {
    case TimerStop::Never:
        break;
    case TimerStop::After:
        if (!ParseDuration(entries.durationText, &made.duration))
            return Refuse(error, "Длительность не распознана. Введите её как Ч:ММ:СС.\n");
        if (made.duration <= 0)
            return Refuse(error, "Длительность должна быть больше нуля.\n");
        break;
    case TimerStop::At: {
        std::tm t{};
        bool hasDate = false;
        if (!ParseClock(entries.stopText, &t, &hasDate))
            return Refuse(error, "Время остановки не распознано. Введите его как ЧЧ:ММ или ГГГГ-ММ-ДД ЧЧ:ММ.\n");
        std::time_t stop = 0;
        // A dated stop that is not after the start is refused; a bare clock time is the next one.
        if (!ResolveClock(entries.stopText, hasDate ? now : made.start, &stop) || stop <= made.start)
            return Refuse(error, "Время остановки раньше времени начала.\n");
        made.duration = static_cast<std::int64_t>(stop - made.start);
        break;
    }
    }
    *plan = made;
    return true;
}

std::string FormatLocalTime(std::time_t instant)
{
    const std::tm t = platform::LocalTime(instant);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

bool ParseLocalTime(const std::string& text, std::time_t* instant)
{
    std::tm t{};
    bool hasDate = false;
    if (!ParseClock(text, &t, &hasDate) || !hasDate)
        return false;
    *instant = Instant(t);
    return *instant != static_cast<std::time_t>(-1);
}

std::string ShortLocalTime(std::time_t instant, std::time_t today)
{
    const std::tm t = platform::LocalTime(instant);
    const std::tm d = platform::LocalTime(today);
    char text[64];
    char seconds[8] = "";
    if (t.tm_sec != 0)
        std::snprintf(seconds, sizeof seconds, ":%02d", t.tm_sec);
    if (t.tm_year == d.tm_year && t.tm_yday == d.tm_yday)
        std::snprintf(text, sizeof text, "%02d:%02d%s", t.tm_hour, t.tm_min, seconds);
    else
        std::snprintf(text, sizeof text, "%02d.%02d %02d:%02d%s", t.tm_mday, t.tm_mon + 1, t.tm_hour, t.tm_min,
                      seconds);
    return text;
}
