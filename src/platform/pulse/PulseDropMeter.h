#pragma once
// Finds the input a record stream lost at the sound server, and how much, from what the server
// itself tells: holes in the stream, and the stream's timing information. A server keeps what
// its client has not read yet in the stream's buffer; when the client stops reading for longer
// than that buffer holds (the process stopped, swapped out or in a debugger), the servers drop
// input in two ways, both measured here:
//   - PulseAudio keeps the buffer and drops what comes after it: the write index then stays
//     behind the server's clock. Over a timing interval in which the buffer can have filled
//     (the interval is longer than the room the buffer had at its start), the input the clock
//     says arrived and the write index did not take is dropped.
//   - PipeWire's PulseAudio interface throws the buffer away but its last fragment: the read
//     index jumps past what the client was sent.
// A hole (a stretch of the stream without data) is dropped input at the point where it lies.
// A source that merely delivers nothing for a while (a stalled microphone) is no drop: while
// the client reads, the intervals between timing answers are short and the buffer has room.
//
// Positions are frames delivered before the drop. A drop is published (Drops) only once the
// frames before it have been delivered, so a reader never sees a drop beyond what came in.
//
// Threads. Reset, Start and Flush where no stream callback runs meanwhile: before the stream
// exists, on the loop (the stream's ready callback), or under the loop's lock. Hole, Taking and
// Timing on the loop thread; Drops on the owner's thread, at any time.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

class PulseDropMeter {
public:
    struct Drop {
        std::uint64_t atFrame = 0;
        std::uint64_t frames = 0;
    };
    // Drops kept one by one; later ones add to the last.
    static constexpr std::size_t kMaxDrops = 64;

    // frameBytes: one frame of the stream; bytesPerSecond: the stream's rate in bytes;
    // bufferBytes: the server's buffer for the stream (maxlength). Forgets all drops.
    void Reset(std::size_t frameBytes, double bytesPerSecond, std::uint64_t bufferBytes);
    // The stream runs from now: timing answers before this are not compared with later ones
    // (a corked stream takes no input and drops nothing).
    void Start();
    // A stretch of bytes without data at the read position (taken from the stream).
    void Hole(std::size_t bytes);
    // bytes of data are about to be delivered from the read position: publishes the drops that
    // lie before their end, then counts them as taken.
    void Taking(std::size_t bytes);
    // A timing answer: the server's time of it (microseconds of the system clock), the stream's
    // write index and read index as libpulse gives them for a record stream (the read index is
    // the client's read position plus what the server skipped), the bytes the client holds
    // unread, and the system clock less the steady one now (a step of the system clock between
    // two answers makes their interval meaningless).
    void Timing(std::int64_t serverMicros, std::int64_t writeIndex, std::int64_t readIndex, std::uint64_t unread,
                std::int64_t clockOffsetMicros);
    // Publishes every drop found, also one beyond what was delivered (the stream is closing).
    void Flush();

    std::vector<Drop> Drops() const;

private:
    struct Slot {
        std::atomic<std::uint64_t> atFrame{0};
        std::atomic<std::uint64_t> frames{0};
    };

    void Found(std::int64_t atIndex, double bytes);
    std::uint64_t FramesAt(std::int64_t index) const;
    void Publish(std::uint64_t delivered);

    std::size_t m_frameBytes = 4;
    double m_bytesPerSecond = 0;
    std::int64_t m_bufferBytes = 0;
    // The client's index: bytes taken from the stream, holes included.
    std::int64_t m_taken = 0;
    std::int64_t m_holeBytes = 0;
    // What the server skipped so far (the read index ahead of the client's).
    std::int64_t m_skipped = 0;
    // The last timing answer since Start.
    bool m_havePrevious = false;
    std::int64_t m_previousMicros = 0;
    std::int64_t m_previousWrite = 0;
    std::int64_t m_previousBuffered = 0;  // written and not yet taken by the client
    std::int64_t m_previousReceived = 0;  // the client's index plus what it held unread
    std::int64_t m_previousOffset = 0;
    std::array<Slot, kMaxDrops> m_slots;
    std::size_t m_found = 0;                 // loop thread
    std::atomic<std::size_t> m_published{0};
};

}  // namespace platform
