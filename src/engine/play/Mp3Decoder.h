#pragma once
// An MPEG audio decoder over libmpg123 for one open file: the file's frames are mapped first
// (Mp3FrameMap), which gives the exact length and the runs of frames to play. libmpg123 reads
// only those runs, back to back, through a RunStream of ours, so it never meets junk or
// foreign frames, and it starts (after a seek as well) right at a frame: opening and seeking
// are quick at any point of a long file, whatever precedes the audio. Decodes to interleaved
// signed 16-bit samples at the file's own rate and channel count.
//
// An Xing/Info frame is decoded as an ordinary frame and never trusted for the length.
//
// Not thread-safe: one thread at a time (opening on the user-interface thread, then decoding
// on the decoder thread that owns it). Cancel alone may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "engine/play/Mp3FrameMap.h"
#include "engine/play/RunStream.h"

struct mpg123_handle_struct;

namespace play {

class Mp3Decoder {
public:
    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Opens the file on fd (fileBytes long) for decoding. fd must stay open as long as this
    // decoder. False when the data is not MPEG audio libmpg123 can decode.
    bool Open(int fd, std::int64_t fileBytes);

    // The first frame's header.
    // The header the file is played at (the first of its longest run of frames).
    const MpegFrameHeader& Header() const { return m_map.Header(); }
    int SampleRate() const { return m_map.Header().sampleRate; }
    int Channels() const { return m_map.Header().Channels(); }
    // Samples per channel in the whole file.
    std::int64_t LengthFrames() const { return m_map.TotalSamples(); }

    // Moves the decoding position to a sample (per channel) from the start, clamped to the
    // length. Sample-accurate.
    bool SeekFrame(std::int64_t frame);
    // Decodes up to maxFrames sample frames into out (maxFrames × Channels() values).
    // Returns the frames written; 0 at the end of the data or on an error it cannot pass.
    std::size_t Read(std::int16_t* out, std::size_t maxFrames);
    // The output level factor (1.0 leaves the samples as decoded).
    void SetVolume(double factor);
    // Any thread: makes the decode or seek in progress, and every later one, end at once
    // (before the decoder is destroyed on another thread's behalf).
    void Cancel();

private:
    struct HandleDeleter {
        void operator()(mpg123_handle_struct* h) const;
    };
    // Opens a fresh libmpg123 handle on the played stream, starting at a played frame.
    bool Restart(std::int64_t frame);

    // The decoded block is cache-line aligned (aligned new: C's aligned_alloc is not everywhere).
    static constexpr std::align_val_t kBlockAlignment{64};
    struct BlockDeleter {
        void operator()(unsigned char* p) const { ::operator delete[](p, kBlockAlignment); }
    };
    double m_volume = 1.0;
    Mp3FrameMap m_map;
    std::unique_ptr<RunStream> m_stream;
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> m_handle;
    // One frame of decoded samples and the part of it not handed out yet (in samples).
    std::unique_ptr<unsigned char, BlockDeleter> m_block;
    std::size_t m_blockBytes = 0;
    std::size_t m_pendingAt = 0;
    std::size_t m_pendingEnd = 0;
};

}  // namespace play
