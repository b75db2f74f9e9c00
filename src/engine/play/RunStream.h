#pragma once
// The played runs of a file (Mp3FrameMap) seen as one stream, back to back, without the junk,
// tags and foreign frames between them: what libmpg123 is given to read. Reads go through a
// FileWindow, so libmpg123's small reads never become small system calls.
//
// Read and Seek behave like POSIX read and lseek, on the stream from its origin on. Cancel may be called from any thread: every
// later Read fails, so a decode or seek in progress ends at once.
//
// Thread: the decoder's thread (Cancel excepted).

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/play/FileWindow.h"
#include "engine/play/Mp3FrameMap.h"

namespace play {

class RunStream {
public:
    // fd and map must outlive the stream.
    RunStream(int fd, std::int64_t fileBytes, const Mp3FrameMap& map);

    // Makes offset (in the played stream) position 0 of this stream and moves there: the
    // stream libmpg123 opens begins at the frame decoding starts from.
    void SetOrigin(std::int64_t offset)
    {
        m_origin = offset;
        m_pos = offset;
    }

    // Bytes read into out (0 at the end), or -1 after Cancel or on a read error.
    long Read(void* out, std::size_t n);
    // The new position, or -1 for a position before the start.
    std::int64_t Seek(std::int64_t offset, int whence);

    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

private:
    FileWindow m_file;
    const Mp3FrameMap& m_map;
    std::int64_t m_origin = 0;  // position 0, in the played stream
    std::int64_t m_pos = 0;     // in the played stream
    std::size_t m_run = 0;   // run holding m_pos, a hint for the next read
    std::atomic<bool> m_cancelled{false};
};

}  // namespace play
