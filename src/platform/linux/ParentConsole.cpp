// Standard output and error are the caller's already: nothing to join.
#include "platform/ParentConsole.h"

namespace platform {

void UseParentConsole() {}

void LeaveParentConsole() {}

}  // namespace platform
