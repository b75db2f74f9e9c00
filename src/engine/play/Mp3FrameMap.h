#pragma once
// A fast walk over the MPEG audio frame headers of a file: where every frame starts, how many
// samples the file holds, and the first frame's header. It reads only headers (no decoding),
// so a file of hours is mapped in milliseconds; the offsets seed the decoder's seek index.
//
// The walk skips ID3v2 tags at the start, resynchronises across junk between frames (a new
// sync must be confirmed by a following header or the end of the file), ignores what cannot
// be a frame of the same stream (ID3v1, APE tags) and leaves out a truncated last frame.
// An Xing/Info frame counts as an ordinary frame: its frame count is never trusted.

#include <cstdint>
#include <vector>

#include "engine/play/MpegFrameHeader.h"

namespace play {

class Mp3FrameMap {
public:
    // Walks the file open on fd, of fileBytes bytes. Returns false when no frame was found
    // or the file could not be read. Any thread; the object is not shared while walking.
    bool Build(int fd, std::int64_t fileBytes);

    const MpegFrameHeader& FirstHeader() const { return m_first; }
    // Byte offset of every frame's header, in order.
    const std::vector<std::int64_t>& Offsets() const { return m_offsets; }
    std::int64_t FrameCount() const { return static_cast<std::int64_t>(m_offsets.size()); }
    // Samples per channel in all frames together.
    std::int64_t TotalSamples() const { return m_totalSamples; }

private:
    MpegFrameHeader m_first;
    std::vector<std::int64_t> m_offsets;
    std::int64_t m_totalSamples = 0;
};

}  // namespace play
