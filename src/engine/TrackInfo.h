#pragma once
// The description of the current file, shared by the main panel, the player and the recorder.
// The panel holds the one that matters; the player copies it and writes the file's own format
// back into the panel's record; the recorder reads it to prepare a recording.

#include <cstdint>
#include <string>

struct TrackInfo {
    std::string path;               // full path of the file (UTF-8 on Linux)
    std::uint32_t startSeconds = 0; // where playback is positioned after a load
    std::int32_t bitrate = 0;       // bits per second
    std::int32_t sampleRate = 0;    // Hz
    std::int32_t bitsPerSample = 0; // always 16
    std::int32_t channels = 0;      // 1 or 2
};
