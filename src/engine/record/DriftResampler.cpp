#include "engine/record/DriftResampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The share of the lower band edge the filter's cutoff stands at, and the Kaiser window's
// shape: with 48 taps, about 90 dB of rejection from just past the band edge, and the band
// passed flat to about 17 kHz at 44.1 kHz.
constexpr double kCutoff = 0.87;
constexpr double kBeta = 9.0;

constexpr double kPi = 3.14159265358979323846;

// The modified Bessel function of the first kind, order 0 (the Kaiser window's), by its series.
double BesselI0(double x)
{
    double sum = 1;
    double term = 1;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < sum * 1e-17)
            break;
    }
    return sum;
}

// Four floats at a time: the dot products below are most of the converter's work, and a
// compiler does not reorder a float sum into vectors of its own accord.
typedef float Float4 __attribute__((vector_size(16)));

Float4 Load(const float* p)
{
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The filter rows a and b applied to the same kTaps input frames from x on: both sums at once.
void Dot2(const float* a, const float* b, const float* x, float* sumA, float* sumB)
{
    Float4 accA = {0, 0, 0, 0};
    Float4 accB = {0, 0, 0, 0};
    for (int k = 0; k < CDriftResampler::kTaps; k += 4) {
        const Float4 v = Load(x + k);
        accA += Load(a + k) * v;
        accB += Load(b + k) * v;
    }
    *sumA = (accA[0] + accA[1]) + (accA[2] + accA[3]);
    *sumB = (accB[0] + accB[1]) + (accB[2] + accB[3]);
}

float ToFloat(std::int16_t sample) { return static_cast<float>(sample) * (1.0f / 32768.0f); }
float ToFloat(float sample) { return sample; }

static_assert(CDriftResampler::kTaps % 4 == 0, "the dot products take four taps at a time");

}  // namespace

CDriftResampler::CDriftResampler(int channels, double nominalRatio)
    : m_channels(std::clamp(channels, 1, 2)), m_history(kHistory * static_cast<std::size_t>(m_channels))
{
    if (!(nominalRatio > 0))
        return;
    // The cutoff in cycles per input frame: below the input's band edge, and below the output's
    // where the output's rate is the lower.
    const double cutoff = 0.5 * kCutoff * std::min(1.0, nominalRatio);
    const double half = kTaps / 2;
    m_table.resize(static_cast<std::size_t>(kPhases + 1) * kTaps);
    std::vector<double> taps(kTaps);
    for (int p = 0; p <= kPhases; ++p) {
        float* row = &m_table[static_cast<std::size_t>(p) * kTaps];
        double sum = 0;
        for (int k = 0; k < kTaps; ++k) {
            // Tap k meets the input frame that lies t frames before the position.
            const double t = static_cast<double>(p) / kPhases + (half - 1) - k;
            const double x = 2 * cutoff * t;
            const double sinc = std::abs(x) < 1e-12 ? 1.0 : std::sin(kPi * x) / (kPi * x);
            const double edge = t / half;
            const double window = std::abs(edge) >= 1 ? 0.0 : BesselI0(kBeta * std::sqrt(1 - edge * edge)) / BesselI0(kBeta);
            taps[static_cast<std::size_t>(k)] = sinc * window;
            sum += taps[static_cast<std::size_t>(k)];
        }
        for (int k = 0; k < kTaps; ++k)
            row[k] = static_cast<float>(taps[static_cast<std::size_t>(k)] / sum);
    }
    Restart(0);
}

void CDriftResampler::Restart(double firstInput)
{
    // The input before the first one given is silence.
    std::fill(m_history.begin(), m_history.end(), 0.0f);
    m_historyStart = firstInput - kTaps;
    m_historyFill = kTaps;
    // The first outputs come from before the first input: the filter reaches Delay() ahead.
    m_position = firstInput - Delay();
}

std::size_t CDriftResampler::Convert(const std::int16_t* in, std::size_t inFrames, std::size_t* taken, float* out,
                                     std::size_t frames, double ratio)
{
    return Run(in, inFrames, taken, out, frames, ratio);
}

std::size_t CDriftResampler::Convert(const float* in, std::size_t inFrames, std::size_t* taken, float* out,
                                     std::size_t frames, double ratio)
{
    return Run(in, inFrames, taken, out, frames, ratio);
}

template <typename Sample>
void CDriftResampler::Take(const Sample* in, std::size_t count)
{
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    if (m_historyFill + count > kHistory) {
        // The filter reads only the last kTaps frames again: they move to the front.
        const std::size_t drop = m_historyFill - kTaps;
        for (std::size_t c = 0; c < channels; ++c) {
            float* row = &m_history[c * kHistory];
            std::memmove(row, row + drop, kTaps * sizeof(float));
        }
        m_historyStart += static_cast<double>(drop);
        m_historyFill = kTaps;
    }
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t c = 0; c < channels; ++c)
            m_history[c * kHistory + m_historyFill + i] = ToFloat(in[i * channels + c]);
    m_historyFill += count;
}

template <typename Sample>
std::size_t CDriftResampler::Run(const Sample* in, std::size_t inFrames, std::size_t* taken, float* out,
                                 std::size_t frames, double ratio)
{
    if (!Valid() || frames == 0 || !(ratio > 0))
        return 0;
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    const std::size_t reach = kTaps / 2;
    // Output frame n of this call comes from input frame m_position + n / ratio: counted from
    // the call's start, not step by step, so that no rounding piles up.
    const double step = 1.0 / ratio;
    std::size_t made = 0;
    std::size_t used = 0;
    while (made < frames) {
        double at = m_position + static_cast<double>(made) * step - m_historyStart;
        // The filter reads frames base - reach + 1 to base + reach: input is taken up to there.
        auto base = static_cast<std::size_t>(std::floor(at));
        if (base + reach + 1 > m_historyFill) {
            const std::size_t more = base + reach + 1 - m_historyFill;
            // Out of input: what is left is taken too, so that a caller may hand over all it
            // has, and the next call goes on from it.
            const std::size_t count = std::min(more, inFrames - used);
            const double start = m_historyStart;
            Take(in + used * channels, count);
            used += count;
            if (count < more)
                break;
            at -= m_historyStart - start;
            base = static_cast<std::size_t>(std::floor(at));
        }
        const double phase = std::clamp(at - static_cast<double>(base), 0.0, 1.0) * kPhases;
        const auto row = std::min(static_cast<std::size_t>(phase), static_cast<std::size_t>(kPhases - 1));
        const auto blend = static_cast<float>(phase - static_cast<double>(row));
        const float* a = &m_table[row * kTaps];
        const float* b = a + kTaps;
        const std::size_t first = base + 1 - reach;
        for (std::size_t c = 0; c < channels; ++c) {
            float sumA = 0;
            float sumB = 0;
            Dot2(a, b, &m_history[c * kHistory + first], &sumA, &sumB);
            out[made * channels + c] = sumA + blend * (sumB - sumA);
        }
        ++made;
    }
    m_position += static_cast<double>(made) / ratio;
    if (taken != nullptr)
        *taken += used;
    return made;
}
