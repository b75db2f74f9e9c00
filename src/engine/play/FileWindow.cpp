#include "engine/play/FileWindow.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace play {

FileWindow::FileWindow(int fd, std::int64_t fileBytes, std::size_t windowBytes)
    : m_fd(fd), m_fileBytes(fileBytes), m_buffer(windowBytes)
{
}

const unsigned char* FileWindow::Refill(std::int64_t pos, std::size_t n)
{
    if (pos < 0 || n > m_buffer.size() || pos + static_cast<std::int64_t>(n) > m_fileBytes)
        return nullptr;
    m_start = pos;
    m_end = pos;
    const std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(m_buffer.size()), m_fileBytes - pos);
    std::size_t filled = 0;
    while (static_cast<std::int64_t>(filled) < want) {
        const ssize_t got = ::pread(m_fd, m_buffer.data() + filled, static_cast<std::size_t>(want) - filled,
                                    static_cast<off_t>(pos + static_cast<std::int64_t>(filled)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            m_failed = got < 0;
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    m_end = pos + static_cast<std::int64_t>(filled);
    if (filled < n)
        return nullptr;
    return m_buffer.data();
}

}  // namespace play
