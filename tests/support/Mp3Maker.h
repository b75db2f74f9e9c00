#pragma once
// Makes MP3 files for tests with libmp3lame directly: constant bitrate, no Xing/Info header,
// a sine tone (440 Hz left, 660 Hz right).

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct Mp3EncodeOptions {
    int kbps = 32;
    bool bitReservoir = false;  // the program's own files are written without it
    bool infoFrame = false;     // an Xing/Info frame at the start
};

// Constant-bitrate MP3 of interleaved 16-bit PCM, flushed; "" when the encoder refuses.
std::string EncodeMp3(const std::vector<std::int16_t>& pcm, int sampleRate, int channels,
                      const Mp3EncodeOptions& options);

// Writes (or appends, when append is true) seconds of tone encoded at kbps. Returns false when
// the encoder refuses the format or the file cannot be written.
bool WriteToneMp3(const std::string& path, double seconds, int sampleRate, int channels, int kbps,
                  bool append = false);

// Raw 16-bit little-endian PCM of the same tone, for SDL's file-backed capture.
bool WriteTonePcm(const std::string& path, double seconds, int sampleRate, int channels);

}  // namespace testing_support
