#include "platform/UniqueFd.h"

#ifdef _WIN32
#include <io.h>
#define close _close
#else
#include <unistd.h>
#endif

namespace platform {

void UniqueFd::Reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

}  // namespace platform
