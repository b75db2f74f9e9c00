#pragma once
// Makes MP3 files for tests with libmp3lame directly: constant bitrate, no Xing/Info header,
// a sine tone (440 Hz left, 660 Hz right).

#include <string>

namespace testing_support {

// Writes (or appends, when append is true) seconds of tone encoded at kbps. Returns false when
// the encoder refuses the format or the file cannot be written.
bool WriteToneMp3(const std::string& path, double seconds, int sampleRate, int channels, int kbps,
                  bool append = false);

// Raw 16-bit little-endian PCM of the same tone, for SDL's file-backed capture.
bool WriteTonePcm(const std::string& path, double seconds, int sampleRate, int channels);

}  // namespace testing_support
