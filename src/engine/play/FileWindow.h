#pragma once
// Forward reading of a whole file through a buffer: At(pos, n) gives n bytes at pos, reading
// the next stretch of the file when pos runs past what the buffer holds. Made for walks that
// go mostly forward, so every byte is read once. (Reading beats mapping the file here: a
// mapping pays a page fault for every few pages of a long file.)

#include <cstddef>
#include <cstdint>
#include <vector>

namespace play {

class FileWindow {
public:
    FileWindow(int fd, std::int64_t fileBytes, std::size_t windowBytes = 256 * 1024);

    // Pointer to n bytes at pos, or nullptr when the file ends before pos + n or cannot be
    // read. n must not exceed the window size. Valid until the next call.
    const unsigned char* At(std::int64_t pos, std::size_t n)
    {
        if (pos >= m_start && pos + static_cast<std::int64_t>(n) <= m_end)
            return m_buffer.data() + (pos - m_start);
        return Refill(pos, n);
    }
    bool Failed() const { return m_failed; }

private:
    const unsigned char* Refill(std::int64_t pos, std::size_t n);

    int m_fd;
    std::int64_t m_fileBytes;
    std::vector<unsigned char> m_buffer;
    std::int64_t m_start = 0;  // file offset of m_buffer[0]
    std::int64_t m_end = 0;    // file offset after the last valid byte in m_buffer
    bool m_failed = false;
};

}  // namespace play
