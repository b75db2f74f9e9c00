#include "platform/UniqueFd.h"

#include <io.h>

namespace platform {

void UniqueFd::Reset(int fd)
{
    if (m_fd >= 0)
        ::_close(m_fd);
    m_fd = fd;
}

}  // namespace platform
