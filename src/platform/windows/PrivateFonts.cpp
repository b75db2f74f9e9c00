#include "platform/PrivateFonts.h"

#include <wx/fontenum.h>

// Windows has its own Tahoma: nothing to register, and the system's font list answers.

namespace platform {

void RegisterPrivateFonts() {}

bool FontFamilyInstalled(const char* family) { return wxFontEnumerator::IsValidFacename(family); }

}  // namespace platform
