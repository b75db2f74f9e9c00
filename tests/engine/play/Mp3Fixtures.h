#pragma once
// Test material for the playback engine: MP3 data made with libmp3lame (constant bitrate, no
// Xing/Info frame unless asked), reference decodes by libmpg123 alone, and comparisons of
// played sound with them.

#include <cstdint>
#include <string>
#include <vector>

namespace play_test {

struct EncodeParams {
    int sampleRate = 44100;
    int channels = 2;
    int kbps = 128;
    double seconds = 1.0;
    int tone = 0;            // picks the test signal, so recordings differ
    bool infoFrame = false;  // write an Xing/Info frame at the start
};

// MP3 frames of one recording of a test signal (never long runs of exact zeros).
std::string EncodeMp3(const EncodeParams& params);

// Decodes a file with libmpg123 alone, the way the player is set up to read it, from a
// sample frame on: interleaved 16-bit samples.
std::vector<std::int16_t> ReferenceDecode(const std::string& path, std::int64_t fromFrame = 0);

// The length libmpg123 reports from the file's Info frame (no ignoring), in sample frames.
std::int64_t TrustingLength(const std::string& path);

// Raw 16-bit samples of a file (what SDL's disk driver wrote).
std::vector<std::int16_t> ReadSamples(const std::string& path);

// Drops every zero sample: silence inserted by the output while paused, waiting or drained
// disappears, while everything actually decoded must still match in order.
std::vector<std::int16_t> WithoutZeros(const std::vector<std::int16_t>& samples);

// A WAV file of a tone.
std::string MakeWav(int sampleRate, int channels, double seconds);

}  // namespace play_test
