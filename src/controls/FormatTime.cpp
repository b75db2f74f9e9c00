#include "controls/FormatTime.h"

namespace {

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

}  // namespace

std::string FormatTime(int seconds)
{
    if (seconds < 0)
        seconds = 0;
    return std::to_string(seconds / 3600) + ":" + TwoDigits(seconds % 3600 / 60) + ":" + TwoDigits(seconds % 60);
}
