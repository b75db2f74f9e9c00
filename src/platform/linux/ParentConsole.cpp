// Standard output and error are the caller's already: nothing to join.
#include "platform/ParentConsole.h"

namespace platform {

void UseParentConsole() {}

void LeaveParentConsole() {}

void PrintText(std::FILE* stream, const std::string& utf8) { std::fputs(utf8.c_str(), stream); }

}  // namespace platform
