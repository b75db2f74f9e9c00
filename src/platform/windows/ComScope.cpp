#include "platform/windows/ComScope.h"

#include <objbase.h>

namespace platform {

ComScope::ComScope()
{
    // S_FALSE: already set up the same way on this thread; it still wants its CoUninitialize.
    m_ok = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
}

ComScope::~ComScope()
{
    if (m_ok)
        CoUninitialize();
}

}  // namespace platform
