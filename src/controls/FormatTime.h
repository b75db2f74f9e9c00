#pragma once
// Time text of a count of whole seconds: "h:mm:ss", hours with as many digits as needed (no
// wrap at 24), minutes and seconds always with two. A negative count shows as 0:00:00.

#include <string>

std::string FormatTime(int seconds);
