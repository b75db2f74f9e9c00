#pragma once
// A fast walk over the MPEG audio frame headers of a file: where every frame starts, how many
// samples the file holds, and the header that describes it. It reads only headers (no
// decoding), so a file of hours is mapped in milliseconds; the runs it finds are what the
// decoder is given to play.
//
// The walk skips ID3v2 tags at the start and gathers the file's frames into runs: frames that
// follow each other exactly, of one stream (version, layer, rate, channel count). A run starts
// only at a sync that the following headers confirm (or the end of the file, or a tag), and
// junk of any size between runs is skipped; holes of sparse files are jumped. The longest run
// (by duration) gives the file's format; every run of that rate and channel count is played
// (an appended recording of another layer, say), every other run counts as junk. A truncated
// last frame is left out. An Xing/Info frame counts as an ordinary frame: its frame count is
// never trusted. Free-format Layer III frames are accepted up to libmpg123's largest
// frame, of one frame size among the played runs.
//
// Memory grows with the frames found, never with the file's size. A failed allocation makes
// Build return false.

#include <cstdint>
#include <vector>

#include "engine/play/MpegFrameHeader.h"

namespace play {

class Mp3FrameMap {
public:
    // Frames that follow each other exactly in the file, all of one stream.
    struct Run {
        std::int64_t begin = 0;        // file offset of its first frame
        std::int64_t end = 0;          // file offset after its last frame
        std::int64_t streamBegin = 0;  // offset in the played stream (all runs kept, back to back)
        std::int64_t firstFrame = 0;   // index of its first frame in Offsets()
        std::int64_t frames = 0;
        std::int64_t firstSample = 0;  // samples per channel before it in the played stream
        MpegFrameHeader header;        // its first frame's header
        std::int64_t Samples() const { return frames * header.samplesPerFrame; }
    };

    // Walks the file open on fd, of fileBytes bytes. Returns false when no frame was found,
    // the file could not be read or memory ran out. Any thread; the object is not shared
    // while walking.
    bool Build(int fd, std::int64_t fileBytes);

    // The first header of the longest run: the format the file is played at.
    const MpegFrameHeader& Header() const { return m_header; }
    // Byte offset of every played frame's header, in order.
    const std::vector<std::int64_t>& Offsets() const { return m_offsets; }
    std::int64_t FrameCount() const { return static_cast<std::int64_t>(m_offsets.size()); }
    // The played runs, in file order.
    const std::vector<Run>& Runs() const { return m_runs; }
    // Bytes of the played stream (all played runs back to back).
    std::int64_t StreamBytes() const { return m_runs.empty() ? 0 : m_runs.back().streamBegin + (m_runs.back().end - m_runs.back().begin); }
    // The size without padding of the played free-format frames; 0 when there are none.
    int FreeFormatBytes() const { return m_freeFormatBytes; }
    // Samples per channel in all played frames together.
    std::int64_t TotalSamples() const { return m_totalSamples; }

    // The played frame holding sample (per channel; FrameCount() at or past the end) and the
    // run it belongs to (the last run past the end).
    std::int64_t FrameOfSample(std::int64_t sample, const Run** run = nullptr) const;
    // The first sample of a played frame (TotalSamples() for FrameCount()).
    std::int64_t SampleOfFrame(std::int64_t frame) const;
    // The played run holding a played frame (the last for FrameCount()); nullptr when empty.
    const Run* RunOfFrame(std::int64_t frame) const;
    // Offset in the played stream of a played frame (StreamBytes() for FrameCount()).
    std::int64_t StreamOffsetOfFrame(std::int64_t frame) const;

private:
    bool Walk(int fd, std::int64_t fileBytes);
    void KeepLongestFormat();

    MpegFrameHeader m_header;
    std::vector<std::int64_t> m_offsets;
    std::vector<Run> m_runs;
    std::int64_t m_totalSamples = 0;
    int m_freeFormatBytes = 0;
};

}  // namespace play
