#pragma once
// Helpers of the recording tests: decoding MP3 files with libmpg123, walking their frame
// headers, and making PCM tones.

#include <cstdint>
#include <string>
#include <vector>

namespace record_test {

struct DecodedAudio {
    bool ok = false;
    long rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;  // interleaved
    std::size_t Frames() const { return channels ? samples.size() / channels : 0; }
};

// Decodes a whole MP3 file to 16-bit PCM.
DecodedAudio DecodeMp3(const std::string& path);

struct FrameWalk {
    bool wholeFrames = false;  // the frames cover the bytes exactly, from first to last
    int frames = 0;
    int version = 0;           // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    int bitrateKbps = 0;       // of the first frame
    int rate = 0;
    bool mono = false;
    bool original = false;
    bool crc = false;
    bool constantBitrate = true;
};

// Walks MPEG audio layer III frame headers from the first byte.
FrameWalk WalkFrames(const std::string& bytes);

// A mix of two sine tones (different per channel) at the given rate, interleaved.
std::vector<std::int16_t> MakeTone(long rate, int channels, std::size_t frames);
// The same signal as a value of channel c at frame n.
double ToneValue(long rate, int channel, std::size_t n);

// Pearson correlation of decoded channel c (from frame `lag`) with the tone (from frame 0),
// over `frames` frames.
double CorrelateWithTone(const DecodedAudio& audio, int channel, std::size_t lag,
                         std::size_t frames);

}  // namespace record_test
