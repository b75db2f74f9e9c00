#pragma once
// The seam in front of the sound input: opens a capture device for a 16-bit PCM format and
// pushes what it records to a sink. CDefaultAudioInput (the sound server's stream, or SDL's
// capture) is the real one; tests use fakes.
//
// Opening may go on in the background after Open returned true (a sound server is asked and
// answers later): the owner polls Progress until it is Open, and only then calls Start.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/record/WaveFormat.h"

// Positions on a device's own timeline are counted in frames of the opened format that the
// device delivered to its sink before the event, from Open.

// The device went over to another source while it recorded: the source's name, and where.
struct InputSwitch {
    std::string source;
    std::uint64_t atFrame = 0;
};

// Input the device itself could not hand over (the sound server dropped it, or the stream came
// with a hole): where it fell and how many frames were lost there.
struct InputDrop {
    std::uint64_t atFrame = 0;
    std::uint64_t frames = 0;
};

class IAudioInputDevice {
public:
    enum class OpenProgress { Opening, Open, Failed };

    // Called on the device's own thread with recorded bytes (whole sample frames). It must only
    // copy: no allocation, no waiting on other threads.
    using Sink = std::function<void(const std::uint8_t* data, std::size_t bytes)>;
    // Called on the device's own thread when the device learns that by nanos (steady-clock
    // nanoseconds) it had captured framesAhead frames beyond those it has given its sink: a
    // sound server's answer about its own buffer. It tells the device's clock more closely
    // than the deliveries' arrival times where a server hands sound over on a cycle of its own.
    // It must only copy, as the sink.
    using Timing = std::function<void(std::int64_t nanos, std::uint64_t framesAhead)>;
    // Called on the device's own thread before it asks for an answer it would not otherwise
    // get: false while nobody follows the clock, so that a recording that does not need them
    // costs the server no requests. It must only read, as the sink only copies.
    using TimingWanted = std::function<bool()>;

    virtual ~IAudioInputDevice() = default;
    // Opens the device, paused, or begins to. framesPerPeriod is a hint for the device's period
    // size. False when it cannot be opened at all.
    virtual bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) = 0;
    // Where the device's timing answers go, and whether they are wanted, from the next Open on;
    // a device that has none ignores it. Before Open.
    virtual void SetTiming(Timing, TimingWanted) {}
    // After an Open that returned true: Opening while the opening goes on (poll again, it never
    // takes longer than a few seconds), Open once Start may be called, Failed when the device
    // could not be opened after all. Owner's thread; never waits.
    virtual OpenProgress Progress() { return OpenProgress::Open; }
    // Starts pushing data to the sink (once Progress is Open).
    virtual bool Start() = 0;
    // Stops and closes the device; once it returns the sink is never called again.
    virtual void Close() = 0;
    // True once the started device is gone (unplugged, sound server ended) or has delivered
    // nothing for too long: what is recorded from then on would be nothing or silence.
    // Owner's thread.
    virtual bool Lost() const { return false; }
    // True when the last Open failed because the format was refused, not for want of a device.
    virtual bool FormatRefused() const { return false; }
    // True when the last opening failed because the chosen source does not exist.
    virtual bool SourceMissing() const { return false; }
    // Every run of input the device itself had to drop, in order. Owner's thread, also after Close.
    virtual std::vector<InputDrop> Drops() const { return {}; }
    // Every change of source while recording, in order. Owner's thread, also after Close.
    virtual std::vector<InputSwitch> Switches() const { return {}; }
    // The name of the source the opened device records from now; empty when not known.
    virtual std::string SourceName() const { return {}; }
    // Seconds between a frame's capture at the source and its delivery to the sink, as the
    // device last measured it; 0 when it cannot tell. Owner's thread.
    virtual double LatencySeconds() const { return 0.0; }
    // True when the device records through the sound server's own client.
    virtual bool ThroughServer() const { return false; }
    // Opens only through the sound server from now on: no server means no device (an input
    // opened again after the server went away must not fall back to another one). Before Open.
    virtual void RequireServer() {}
};
