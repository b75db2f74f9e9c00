#pragma once
// Forward reading of a whole file through a buffer: At(pos, n) gives n bytes at pos, reading
// the next stretch of the file when pos runs past what the buffer holds. Made for walks that
// go mostly forward, so every byte is read once. (Reading beats mapping the file here: a
// mapping pays a page fault for every few pages of a long file.) The decoder reads its input
// through the same kind of window, so no read ever asks the system for a few bytes.

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
    // Pointer to the bytes from pos on that the window holds (refilled at pos when it holds
    // none) and their count in available; nullptr at the end of the file or on a read error.
    const unsigned char* From(std::int64_t pos, std::size_t& available);
    // Copies up to n bytes at pos into out; the count copied (short only at the end of the
    // file or on a read error).
    std::size_t Copy(std::int64_t pos, unsigned char* out, std::size_t n);
    // The first offset at or after pos that may hold data: a hole of a sparse file reads as
    // zeros, so a search for a sync word can jump it. pos itself when the system cannot tell.
    std::int64_t NextData(std::int64_t pos) const;

    std::int64_t FileBytes() const { return m_fileBytes; }
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
