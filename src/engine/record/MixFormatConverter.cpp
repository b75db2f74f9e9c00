#include "engine/record/MixFormatConverter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Speaker positions of a channel mask.
constexpr std::uint32_t kFrontLeft = 0x1, kFrontRight = 0x2, kFrontCenter = 0x4, kLowFrequency = 0x8,
                        kBackLeft = 0x10, kBackRight = 0x20, kFrontLeftOfCenter = 0x40,
                        kFrontRightOfCenter = 0x80, kBackCenter = 0x100, kSideLeft = 0x200,
                        kSideRight = 0x400;
constexpr float kMinus3dB = 0.70710678f;

// The usual speakers of a channel count when the format names none.
std::uint32_t UsualMask(std::uint16_t channels)
{
    switch (channels) {
    case 1: return kFrontCenter;
    case 2: return kFrontLeft | kFrontRight;
    case 3: return kFrontLeft | kFrontRight | kFrontCenter;
    case 4: return kFrontLeft | kFrontRight | kBackLeft | kBackRight;
    case 5: return kFrontLeft | kFrontRight | kFrontCenter | kBackLeft | kBackRight;
    case 6: return kFrontLeft | kFrontRight | kFrontCenter | kLowFrequency | kBackLeft | kBackRight;
    case 8:
        return kFrontLeft | kFrontRight | kFrontCenter | kLowFrequency | kBackLeft | kBackRight | kSideLeft |
               kSideRight;
    default: return 0;
    }
}

// Weights of a speaker on the left and the right side.
struct Sides {
    float left;
    float right;
};

Sides SidesOf(std::uint32_t speaker)
{
    switch (speaker) {
    case kFrontLeft: return {1.0f, 0.0f};
    case kFrontRight: return {0.0f, 1.0f};
    case kFrontCenter:
    case kBackCenter: return {kMinus3dB, kMinus3dB};
    case kLowFrequency: return {0.0f, 0.0f};
    case kBackLeft:
    case kSideLeft:
    case kFrontLeftOfCenter: return {kMinus3dB, 0.0f};
    case kBackRight:
    case kSideRight:
    case kFrontRightOfCenter: return {0.0f, kMinus3dB};
    default:
        // A speaker above or one the mask does not place: half to each side.
        return {0.5f, 0.5f};
    }
}

}  // namespace

std::size_t MixFormat::BytesPerFrame() const
{
    std::size_t bytes = 0;
    switch (sample) {
    case Sample::Int8: bytes = 1; break;
    case Sample::Int16: bytes = 2; break;
    case Sample::Int24: bytes = 3; break;
    case Sample::Float32:
    case Sample::Int24In32:
    case Sample::Int32: bytes = 4; break;
    }
    return bytes * channels;
}

CMixFormatConverter::CMixFormatConverter() = default;
CMixFormatConverter::~CMixFormatConverter() = default;

bool CMixFormatConverter::Configure(const MixFormat& in, std::uint16_t outChannels, std::uint32_t outRate)
{
    if (in.channels == 0 || in.rate == 0 || outRate == 0 || outChannels < 1 || outChannels > 2)
        return false;
    m_in = in;
    m_outChannels = outChannels;
    m_ratio = static_cast<double>(outRate) / in.rate;
    BuildMatrix();
    m_mixed.assign(kChunkFrames * outChannels, 0.0f);
    // The converter may hand over a frame or so more than the ratio says in one call.
    const std::size_t most = static_cast<std::size_t>(std::ceil(kChunkFrames * m_ratio)) + 64;
    m_resampled.assign(most * outChannels, 0.0f);
    m_out.assign(most * outChannels, 0);
    m_resampler.reset();
    if (in.rate != outRate) {
        m_resampler = std::make_unique<CDriftResampler>(outChannels, m_ratio);
        if (!m_resampler->Valid())
            return false;
    }
    return true;
}

void CMixFormatConverter::BuildMatrix()
{
    const std::uint16_t channels = m_in.channels;
    m_matrix.assign(static_cast<std::size_t>(m_outChannels) * channels, 0.0f);
    std::vector<Sides> sides(channels, Sides{0.5f, 0.5f});
    if (channels == 1) {
        sides[0] = {1.0f, 1.0f};  // a mono input is copied to both sides at its level
    } else {
        std::uint32_t mask = m_in.channelMask != 0 ? m_in.channelMask : UsualMask(channels);
        // The mask's speakers in order of their bits belong to the channels in order; channels
        // beyond the mask's speakers are unplaced.
        for (std::uint16_t c = 0; c < channels && mask != 0; ++c) {
            const std::uint32_t speaker = mask & (~mask + 1);
            mask &= ~speaker;
            sides[c] = SidesOf(speaker);
        }
    }
    for (std::uint16_t c = 0; c < channels; ++c) {
        if (m_outChannels == 2) {
            m_matrix[c] = sides[c].left;
            m_matrix[channels + c] = sides[c].right;
        } else {
            m_matrix[c] = (sides[c].left + sides[c].right) / 2.0f;
        }
    }
}

float CMixFormatConverter::Sample(const std::uint8_t* p) const
{
    switch (m_in.sample) {
    case MixFormat::Sample::Float32: {
        float value;
        std::memcpy(&value, p, sizeof value);
        return std::isfinite(value) ? value : 0.0f;
    }
    case MixFormat::Sample::Int8: return (static_cast<int>(p[0]) - 128) / 128.0f;
    case MixFormat::Sample::Int16: {
        std::int16_t value;
        std::memcpy(&value, p, sizeof value);
        return static_cast<float>(value) / 32768.0f;
    }
    case MixFormat::Sample::Int24: {
        // Little-endian, sign taken from the top byte.
        const std::int32_t value = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                             static_cast<std::uint32_t>(p[1]) << 16 |
                                                             static_cast<std::uint32_t>(p[2]) << 24);
        return static_cast<float>(static_cast<double>(value) / 2147483648.0);
    }
    case MixFormat::Sample::Int24In32:  // the valid bits are the container's top ones
    case MixFormat::Sample::Int32: {
        std::int32_t value;
        std::memcpy(&value, p, sizeof value);
        return static_cast<float>(static_cast<double>(value) / 2147483648.0);
    }
    }
    return 0.0f;
}

std::size_t CMixFormatConverter::Convert(const std::uint8_t* in, std::size_t frames)
{
    frames = std::min(frames, kChunkFrames);
    const std::uint16_t channels = m_in.channels;
    const std::size_t sampleBytes = m_in.BytesPerFrame() / channels;
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::uint16_t o = 0; o < m_outChannels; ++o) {
            float sum = 0.0f;
            if (in) {
                const float* weights = &m_matrix[static_cast<std::size_t>(o) * channels];
                const std::uint8_t* frame = in + f * sampleBytes * channels;
                for (std::uint16_t c = 0; c < channels; ++c)
                    if (weights[c] != 0.0f)
                        sum += weights[c] * Sample(frame + c * sampleBytes);
            }
            m_mixed[f * m_outChannels + o] = sum;
        }
    }
    const float* result = m_mixed.data();
    std::size_t made = frames;
    if (m_resampler) {
        // The output has room for all the input makes, and the converter takes all of it.
        made = m_resampler->Convert(m_mixed.data(), frames, nullptr, m_resampled.data(),
                                    m_resampled.size() / m_outChannels, m_ratio);
        result = m_resampled.data();
    }
    for (std::size_t i = 0; i < made * m_outChannels; ++i) {
        const float scaled = std::nearbyint(result[i] * 32768.0f);
        m_out[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
    return made;
}
