#pragma once
// Forward reading of a file through a large buffer: At(pos, n) gives n bytes at pos, reading
// the next stretch of the file when pos runs past what the buffer holds. Made for walks that
// go mostly forward, so every byte of the file is read once.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace play {

class FileWindow {
public:
    FileWindow(int fd, std::int64_t fileBytes, std::size_t windowBytes = 1 << 20);

    // Pointer to n bytes at pos, or nullptr when the file ends before pos + n or cannot be
    // read. n must not exceed the window size. Valid until the next call.
    const unsigned char* At(std::int64_t pos, std::size_t n);
    bool Failed() const { return m_failed; }

private:
    int m_fd;
    std::int64_t m_fileBytes;
    std::vector<unsigned char> m_buffer;
    std::int64_t m_start = 0;  // file offset of m_buffer[0]
    std::size_t m_filled = 0;  // valid bytes in m_buffer
    bool m_failed = false;
};

}  // namespace play
