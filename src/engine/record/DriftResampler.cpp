#include "engine/record/DriftResampler.h"

#include <algorithm>

#include <samplerate.h>

namespace {

// Input frames given to the converter at a time: it never runs further ahead than this.
constexpr std::size_t kPiece = 32;

}  // namespace

void CDriftResampler::StateDeleter::operator()(SRC_STATE_tag* state) const
{
    src_delete(state);
}

CDriftResampler::CDriftResampler(int channels, double nominalRatio)
    : m_channels(std::clamp(channels, 1, 2)), m_in(kPiece * 2)
{
    int error = 0;
    m_state.reset(src_new(SRC_SINC_FASTEST, m_channels, &error));
    if (!m_state)
        return;
    // The converter's own delay, measured once: where an impulse at the first input frame
    // comes out, at the nominal ratio.
    std::vector<float> impulse(1024 * static_cast<std::size_t>(m_channels), 0.0f);
    impulse[0] = 1.0f;
    std::vector<float> out(4096 * static_cast<std::size_t>(m_channels), 0.0f);
    SRC_DATA data{};
    data.data_in = impulse.data();
    data.input_frames = 1024;
    data.data_out = out.data();
    data.output_frames = 4096;
    data.src_ratio = nominalRatio;
    if (src_process(m_state.get(), &data) == 0 && data.output_frames_gen > 0) {
        long peak = 0;
        for (long i = 1; i < data.output_frames_gen; ++i)
            if (out[static_cast<std::size_t>(i * m_channels)] > out[static_cast<std::size_t>(peak * m_channels)])
                peak = i;
        m_delay = static_cast<double>(peak) / nominalRatio;
    }
    Restart(0);
}

CDriftResampler::~CDriftResampler() = default;

void CDriftResampler::Restart(double firstInput)
{
    if (m_state)
        src_reset(m_state.get());
    // The first outputs come from before the first input (the converter starts from silence).
    m_position = firstInput - m_delay;
}

std::size_t CDriftResampler::Convert(const std::int16_t* in, std::size_t inFrames, std::size_t* taken, float* out,
                                     std::size_t frames, double ratio)
{
    if (!m_state || frames == 0)
        return 0;
    // The ratio is set for the whole call, not glided into from the last one: libsamplerate
    // glides across the output a call asks for, and a call that runs out of input stops partway
    // through its glide, so where it stands would depend on how much input there was. Set, every
    // output frame steps 1 / ratio input frames on, and the count below is the converter's own.
    // The loop changes the ratio by a few parts in a million a block: a step of that size is not
    // heard.
    if (src_set_ratio(m_state.get(), ratio) != 0)
        return 0;
    std::size_t made = 0;
    std::size_t used = 0;
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    while (made < frames) {
        const std::size_t piece = std::min(kPiece, inFrames - used);
        for (std::size_t i = 0; i < piece * channels; ++i)
            m_in[i] = static_cast<float>(in[used * channels + i]) * (1.0f / 32768.0f);
        SRC_DATA data{};
        data.data_in = m_in.data();
        data.input_frames = static_cast<long>(piece);
        data.data_out = out + made * channels;
        data.output_frames = static_cast<long>(frames - made);
        data.src_ratio = ratio;
        if (src_process(m_state.get(), &data) != 0)
            break;
        used += static_cast<std::size_t>(data.input_frames_used);
        made += static_cast<std::size_t>(data.output_frames_gen);
        if (data.input_frames_used == 0 && data.output_frames_gen == 0)
            break;  // out of input
    }
    m_position += static_cast<double>(made) / ratio;
    if (taken != nullptr)
        *taken += used;
    return made;
}
