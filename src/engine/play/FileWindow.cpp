#include "engine/play/FileWindow.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace play {

FileWindow::FileWindow(int fd, std::int64_t fileBytes, std::size_t windowBytes)
    : m_fd(fd),
      m_fileBytes(fileBytes),
      // No larger than the file (small files are common: new recordings, the fuzz corpus).
      m_buffer(std::min(windowBytes, static_cast<std::size_t>(std::max<std::int64_t>(fileBytes, 64))))
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

const unsigned char* FileWindow::From(std::int64_t pos, std::size_t& available)
{
    available = 0;
    const unsigned char* b = At(pos, 1);
    if (!b)
        return nullptr;
    available = static_cast<std::size_t>(m_end - pos);
    return b;
}

std::size_t FileWindow::Copy(std::int64_t pos, unsigned char* out, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        std::size_t available = 0;
        const unsigned char* b = From(pos + static_cast<std::int64_t>(done), available);
        if (!b)
            break;
        const std::size_t step = std::min(available, n - done);
        std::memcpy(out + done, b, step);
        done += step;
    }
    return done;
}

std::int64_t FileWindow::NextData(std::int64_t pos) const
{
#ifdef SEEK_DATA
    const off_t data = ::lseek(m_fd, static_cast<off_t>(pos), SEEK_DATA);
    if (data >= 0)
        return std::max<std::int64_t>(pos, data);
    if (errno == ENXIO)  // nothing but a hole up to the end
        return m_fileBytes;
#endif
    return pos;
}

}  // namespace play
