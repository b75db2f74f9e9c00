#pragma once
// The seam in front of the sound input: opens the default capture device for a 16-bit PCM
// format and pushes what it records to a sink. CSdlAudioInput is the real one; tests use fakes.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/record/WaveFormat.h"

class IAudioInputDevice {
public:
    // Called on the device's own thread with recorded bytes (whole sample frames). It must only
    // copy: no allocation, no waiting on other threads.
    using Sink = std::function<void(const std::uint8_t* data, std::size_t bytes)>;

    virtual ~IAudioInputDevice() = default;
    // Opens the device, paused. framesPerPeriod is a hint for the device's period size.
    virtual bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) = 0;
    // Starts pushing data to the sink.
    virtual bool Start() = 0;
    // Stops and closes the device; once it returns the sink is never called again.
    virtual void Close() = 0;
    // True once the started device is gone (unplugged, sound server ended) or has delivered
    // nothing for too long: what is recorded from then on would be nothing or silence.
    // Owner's thread.
    virtual bool Lost() const { return false; }
    // True when the last Open failed because the format was refused, not for want of a device.
    virtual bool FormatRefused() const { return false; }
};
