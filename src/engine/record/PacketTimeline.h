#pragma once
// Keeps a packet-delivering input's timeline whole from the two clocks each packet carries: the
// device's position (its frame count) and the time its first frame was captured.
//
// A capture device's packets follow each other without a gap; a jump of the device position, or
// the engine's discontinuity flag, means input was lost there: Packet tells how many frames (by
// the position, or for a flagged hole by the packets' times if they say more), as a drop before
// the packet.
//
// Loopback (recording what an output plays) is another matter: an output with nothing to play
// sends no packets at all, for as long as nothing plays. That is silence, not loss. Idle,
// called whenever a wait for a packet ran out, tells how much silence the clock says has passed
// since the last packet (less a margin for a packet still on its way), so the recording's
// timeline goes on through it; when packets come again, Packet tells the silence still missing
// between the last one and the new one, by its time or its position, whichever says more.
// Silence filled beyond what the new packet's time says is not taken back (no sound is thrown
// away); it is at most the packets' jitter.
//
// Positions are frames of the device's rate; times are in 100-nanosecond units on any steady
// clock (the performance counter's, as the packets carry it). Thread: one at a time.

#include <cstdint>

class CPacketTimeline {
public:
    // How far the clock-filled silence stays behind the clock.
    static constexpr std::int64_t kFillMargin = 1'000'000;  // 100 ms
    // A gap by time shorter than this is the packets' jitter.
    static constexpr std::int64_t kTimeTolerance = 300'000;  // 30 ms
    // How much sound (seconds of it, in the packets handed over after a flagged one) a jump of
    // the times may still come in and be that hole's: the engine hands over what its buffer
    // (half a second) held first. Counted in packets, not by their times, which jump by as
    // long as the hole lasted.
    static constexpr std::uint32_t kFlagSeconds = 2;

    struct Gap {
        std::uint64_t dropped = 0;  // frames lost before the packet (capture)
        std::uint64_t silence = 0;  // frames of silence to put before the packet (loopback)
        // dropped is the rest of one hole whose flagged packet a little before told its first
        // part (Wine's overrun): one drop with that part, not one of its own.
        bool rest = false;
    };

    CPacketTimeline(std::uint32_t rate, bool loopback);

    // The stream started at time now: a loopback output silent from the start is silence.
    void Start(std::int64_t now);
    // A packet of frames, its first at device position position, captured at time.
    Gap Packet(std::uint64_t position, std::int64_t time, std::uint32_t frames, bool discontinuity);
    // No packet came up to now: the frames of silence to put in now (loopback only).
    std::uint64_t Idle(std::int64_t now);

private:
    std::uint64_t FramesIn(std::int64_t span) const;

    std::uint32_t m_rate;
    bool m_loopback;
    bool m_any = false;                // a packet came
    std::uint64_t m_nextPosition = 0;  // the device position the next packet should have
    std::int64_t m_nextTime = 0;       // when the next packet's first frame is due
    std::uint64_t m_filled = 0;        // silence put in since m_nextTime was set
    std::uint64_t m_flagFrames = 0;    // a jump of the times within so many frames is a flagged hole's
    bool m_flagDropped = false;        // and the flagged packet told a part of it
};
