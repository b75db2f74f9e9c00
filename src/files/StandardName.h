#pragma once
// The date-based standard file name: day, month, hour and minute in ten characters, for
// example "05mar_0907" for 5 March at 09:07. The extension is not part of it.

#include <ctime>
#include <string>

namespace files {

inline constexpr std::size_t kStandardNameLength = 10;

// The standard name for the given local time. Fields outside their ranges are clamped into
// them, so the result always has exactly ten characters.
std::string StandardFileName(const std::tm& local);

}  // namespace files
