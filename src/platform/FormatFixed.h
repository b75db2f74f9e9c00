#pragma once
// Numbers with a fixed count of decimals, always with a decimal point. The C library's printf
// follows the process's numeric locale and would write "11,0" under a decimal-comma locale,
// which the toolkit or a library may set at any time; the program's number texts must not
// change with it. Any thread.

#include <string>

namespace platform {

// printf's "%<width>.<precision>f" in the C locale: rounded as printf rounds, padded on the left
// with spaces to at least width characters.
std::string FormatFixed(double value, int width, int precision);

}  // namespace platform
