#pragma once
// The PCM format asked of the sound input and the capture buffer header, in the shape of the
// classic wave-input records.

#include <cstdint>

struct WaveFormat {
    std::uint16_t formatTag = 0;       // 1: PCM
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};

constexpr std::uint16_t kWaveFormatPcm = 1;

// Interleaved PCM of bitsPerSample-bit samples, channels to a frame, at rate frames a second.
constexpr WaveFormat PcmFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bitsPerSample = 16)
{
    WaveFormat format;
    format.formatTag = kWaveFormatPcm;
    format.channels = channels;
    format.samplesPerSec = rate;
    format.bitsPerSample = bitsPerSample;
    format.blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
    format.avgBytesPerSec = format.blockAlign * rate;
    return format;
}

// Header flags.
constexpr std::uint32_t kWaveHeaderDone = 0x01;     // filled (or handed back) by the device
constexpr std::uint32_t kWaveHeaderInQueue = 0x10;  // queued with the device

// One capture buffer. The owner keeps the memory; the device holds the header from AddBuffer
// until it hands it back through the callback.
struct WaveHeader {
    std::int16_t* data = nullptr;
    std::uint32_t bufferLength = 0;   // bytes
    std::uint32_t bytesRecorded = 0;
    void* user = nullptr;
    std::uint32_t flags = 0;
    // Where its first frame lies on the input's timeline (see CCaptureQueue).
    std::uint64_t timelineFrame = 0;
};
