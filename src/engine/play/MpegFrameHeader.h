#pragma once
// One MPEG audio frame header (layers I to III, MPEG 1, 2 and 2.5), decoded from its four bytes.

#include <cstdint>
#include <optional>

namespace play {

struct MpegFrameHeader {
    int version = 0;         // 1 = MPEG 1, 2 = MPEG 2, 3 = MPEG 2.5
    int layer = 0;           // 1, 2 or 3
    int bitrateKbps = 0;     // kilobits per second (worked out from the frame size in free format)
    int sampleRate = 0;      // Hz
    int channelMode = 0;     // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int frameBytes = 0;      // whole frame, header included
    int samplesPerFrame = 0; // per channel
    int freeFormatBytes = 0; // free format: the frame size without padding; 0 otherwise

    int Channels() const { return channelMode == 3 ? 1 : 2; }

    // The header starting at bytes[0..3], or nothing when those bytes are no valid header.
    // Reserved values are rejected. A free-format header (no bitrate) is accepted only with
    // the stream's frame size without padding in freeFormatBytes, found by the caller.
    static std::optional<MpegFrameHeader> Parse(const unsigned char* bytes, int freeFormatBytes = 0);
    // True when bytes[0..3] would be a valid header but for its free-format bitrate.
    static bool IsFreeFormat(const unsigned char* bytes);

    // True when two headers belong to the same stream: same version, layer and rate.
    bool SameStream(const MpegFrameHeader& other) const
    {
        return version == other.version && layer == other.layer && sampleRate == other.sampleRate;
    }
    // True when two frames can follow each other in one run: the same stream, the same
    // channel count and both of a standard bitrate or both free format of one size.
    bool SameRun(const MpegFrameHeader& other) const
    {
        return SameStream(other) && Channels() == other.Channels() && freeFormatBytes == other.freeFormatBytes;
    }
};

}  // namespace play
