#include "files/StandardName.h"

#include <algorithm>
#include <array>

namespace files {
namespace {

constexpr std::array<const char*, 12> kMonths{"jan_", "feb_", "mar_", "apr_", "may_", "jun_",
                                              "jul_", "aug_", "sep_", "oct_", "nov_", "dec_"};

// Two digits, with a leading zero below 10.
std::string TwoDigits(int value, int low, int high)
{
    value = std::clamp(value, low, high);
    std::string text = std::to_string(value);
    return value < 10 ? "0" + text : text;
}

}  // namespace

std::string StandardFileName(const std::tm& local)
{
    return TwoDigits(local.tm_mday, 1, 31) + kMonths[static_cast<std::size_t>(std::clamp(local.tm_mon, 0, 11))] +
           TwoDigits(local.tm_hour, 0, 23) + TwoDigits(local.tm_min, 0, 59);
}

}  // namespace files
