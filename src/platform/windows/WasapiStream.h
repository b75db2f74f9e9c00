#pragma once
// One capture stream of the Windows audio engine (WASAPI), in shared mode and event-driven, in
// the endpoint's own mix format: the default capture endpoint, or the endpoint with a given ID.
// An output endpoint (data flow "render") is captured by loopback: what it plays; that stream
// has no event (Wait only times out), so its owner polls it.
//
// Packets are taken with Next and handed back with Release, each with the device position of
// its first frame and the performance-counter time it was captured at (100-ns units), and the
// engine's flags. A call that fails because the endpoint went away (unplugged, disabled) or the
// audio service stopped gives Lost.
//
// Thread: every call on one thread, which has COM set up (ComScope); Windows only.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class WakeEvent;

class WasapiStream {
public:
    enum class Result {
        Ok,
        NoEndpoint,  // no endpoint with that ID, or none active; no default endpoint
        Refused,     // the endpoint refused the stream (shared mode, loopback, its format)
        Lost,        // the endpoint or the audio service went away
        Failed,      // anything else
    };
    struct Format {
        bool isFloat = false;
        std::uint16_t bits = 0;       // of a sample's container
        std::uint16_t validBits = 0;  // of them that carry sound (the top ones)
        std::uint16_t channels = 0;
        std::uint32_t rate = 0;
        std::uint32_t channelMask = 0;  // 0: not given
    };
    struct Packet {
        const std::uint8_t* data = nullptr;
        std::uint32_t frames = 0;
        bool silent = false;         // the engine says: take it as silence
        bool discontinuity = false;  // the engine says: a hole before it
        std::uint64_t position = 0;
        std::int64_t time = 0;
    };

    WasapiStream();
    ~WasapiStream();
    WasapiStream(const WasapiStream&) = delete;
    WasapiStream& operator=(const WasapiStream&) = delete;

    // Opens the endpoint with that ID (UTF-8), or the default capture endpoint when id is empty,
    // stopped, with an engine buffer of bufferMs.
    Result Open(const std::string& id, unsigned bufferMs);
    void Close();
    const Format& MixFormat() const { return m_format; }
    bool Loopback() const { return m_loopback; }
    const std::string& Id() const { return m_id; }
    // The endpoint's friendly name, as the system's sound settings show it.
    const std::string& Name() const { return m_name; }

    Result Start();
    // Waits at most ms for the engine's event (none for loopback) or for wake; true when either
    // came.
    bool Wait(const WakeEvent& wake, unsigned ms) const;
    // The next packet; Ok with packet.frames 0 when none is waiting. Release it before the next.
    Result Next(Packet& packet);
    Result Release(std::uint32_t frames);

    // The performance counter's time now, in 100-ns units (the packets' clock).
    static std::int64_t Now();
    // The ID of the default capture endpoint now; empty when there is none.
    static std::string DefaultCaptureId();

    struct Interfaces;  // the COM interfaces of an open stream

private:
    std::unique_ptr<Interfaces> m_com;
    void* m_event = nullptr;  // the engine sets it when a packet is ready
    Format m_format;
    bool m_loopback = false;
    std::string m_id;
    std::string m_name;
};

}  // namespace platform
