#pragma once
// One encoder stream of the BladeEnc-compatible library: a LAME encoder configured from a
// BE_CONFIG record, with the chunk and output-buffer sizes it promised the caller.
//
// Thread: a stream is used by one thread at a time; different streams are independent.

#include <cstdint>
#include <memory>

#include <lame/lame.h>

#include "engine/record/BladeEncApi.h"

class CLameStream {
public:
    // Configures LAME from config; returns BE_ERR_SUCCESSFUL or the reason it was refused.
    static blade::BE_ERR Create(const blade::BE_CONFIG& config, std::unique_ptr<CLameStream>& out);

    // PCM values per chunk, all channels together: one MPEG frame of samples per channel.
    std::uint32_t SamplesPerChunk() const { return m_samplesPerChunk; }
    // Bytes the caller's output buffer has: always enough for one chunk or the final flush.
    std::uint32_t OutputBufferSize() const { return m_outputBufferSize; }

    // Encodes `samples` values (interleaved for stereo) into output.
    blade::BE_ERR Encode(std::uint32_t samples, const std::int16_t* pcm, std::uint8_t* output,
                         std::uint32_t* outputBytes);
    // Encodes what LAME still holds back and ends the stream's audio.
    blade::BE_ERR Flush(std::uint8_t* output, std::uint32_t* outputBytes);
    // Completes the frames encoded so far (LAME's gapless flush) without touching the samples
    // it holds back: they begin the next frame, which may go to another file.
    blade::BE_ERR FlushNoGap(std::uint8_t* output, std::uint32_t* outputBytes);

private:
    struct LameDeleter {
        void operator()(lame_global_flags* flags) const { lame_close(flags); }
    };

    CLameStream() = default;

    std::unique_ptr<lame_global_flags, LameDeleter> m_lame;
    int m_channels = 0;
    std::uint32_t m_samplesPerChunk = 0;
    std::uint32_t m_outputBufferSize = 0;
};
