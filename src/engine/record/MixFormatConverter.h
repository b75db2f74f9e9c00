#pragma once
// Turns what a sound engine delivers in its own mix format (32-bit float, 16-bit, 24 bits in a
// 32-bit or a 3-byte container, 32-bit integers, 8-bit; any number of channels, placed by a
// speaker mask) into the recording's 16-bit PCM with its channel count and rate: every channel
// is read at its own width, the speakers are mixed down (or a mono input copied up) by where
// they stand, and the rate is converted by the band-limited converter the second source uses
// (CDriftResampler, at a fixed ratio) when it differs.
//
// Downmix to stereo: each side takes its front speaker whole, the centre, its back and side
// speakers at -3 dB, and the low-frequency channel not at all; a speaker in the middle behind
// goes to both sides at -3 dB. A sound on one speaker therefore keeps its level; sounds that add
// up past full scale are clipped, never wrapped. To mono: the mean of the two sides.
//
// Thread: one at a time. Allocates in Configure only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/record/DriftResampler.h"


// A sound engine's mix format.
struct MixFormat {
    enum class Sample { Float32, Int8, Int16, Int24, Int24In32, Int32 };
    Sample sample = Sample::Float32;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    // Speakers of the channels in order, as WAVEFORMATEXTENSIBLE's dwChannelMask; 0: the usual
    // layout for the channel count.
    std::uint32_t channelMask = 0;

    std::size_t BytesPerFrame() const;
};

class CMixFormatConverter {
public:
    // Input frames one Convert call takes at most.
    static constexpr std::size_t kChunkFrames = 4096;

    CMixFormatConverter();
    ~CMixFormatConverter();
    CMixFormatConverter(const CMixFormatConverter&) = delete;
    CMixFormatConverter& operator=(const CMixFormatConverter&) = delete;

    // Sets the formats: from the engine's, to 16-bit PCM of outChannels (1 or 2) at outRate.
    // False for a format it cannot read (no channels, no rate, or an unknown sample type).
    bool Configure(const MixFormat& in, std::uint16_t outChannels, std::uint32_t outRate);
    // Converts frames (at most kChunkFrames) input frames from in, or as many frames of silence
    // when in is null. Returns the output frames made, which Output() holds until the next call.
    std::size_t Convert(const std::uint8_t* in, std::size_t frames);
    const std::int16_t* Output() const { return m_out.data(); }
    // Output frames per input frame.
    double Ratio() const { return m_ratio; }

private:

    float Sample(const std::uint8_t* p) const;
    void BuildMatrix();

    MixFormat m_in;
    std::uint16_t m_outChannels = 0;
    double m_ratio = 1.0;
    std::vector<float> m_matrix;  // outChannels rows of in.channels weights
    std::vector<float> m_mixed;   // one chunk, mixed to the output channels
    std::vector<float> m_resampled;
    std::vector<std::int16_t> m_out;
    std::unique_ptr<CDriftResampler> m_resampler;  // null when the rates agree
};
