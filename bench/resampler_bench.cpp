// The program's rate converter (CDriftResampler, our own windowed sinc: a second source's, and
// an input's whose rate is not the recording's), driven as a second source drives it, against
// libsamplerate's SINC_FASTEST (fed 32 frames at a time, so that where it stands is known to
// within that, as a drift loop needs) and libspeexdsp's resampler at a few qualities,
// converting a 48 kHz source onto a 44.1 kHz recording in 10 ms blocks whose ratio changes by a
// few parts in a million every block, as the drift loop changes it.
//  - cost: the time to convert one second of sound, mono and stereo;
//  - quality: a sine swept from 20 Hz to 24 kHz at 0.9 of full scale. What comes out while the
//    sweep is above the recording's 22.05 kHz band edge can only be aliasing: its level
//    (alias_dB, against the sweep's) is the figure; pass_dB is the level of the sweep at 16 kHz
//    (passband droop).

#include <benchmark/benchmark.h>

#include <samplerate.h>
#include <speex/speex_resampler.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <algorithm>
#include <memory>
#include <vector>

#include "engine/record/DriftResampler.h"

namespace {

constexpr int kIn = 48000;
constexpr int kOut = 44100;
constexpr int kBlock = kOut / 100;  // output frames a block
constexpr double kSweepSeconds = 6.0;

// The input: the sweep, 16-bit, the same in every channel.
std::vector<std::int16_t> Sweep(int channels)
{
    std::vector<std::int16_t> in;
    const double f0 = 20, f1 = kIn / 2.0;
    const auto n = static_cast<std::size_t>(kSweepSeconds * kIn);
    const double k = std::log(f1 / f0) / kSweepSeconds;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kIn;
        const double phase = 2 * M_PI * f0 * (std::exp(k * t) - 1) / k;
        for (int c = 0; c < channels; ++c)
            in.push_back(static_cast<std::int16_t>(0.9 * 32767 * std::sin(phase)));
    }
    in.resize(in.size() + static_cast<std::size_t>(kIn * channels / 2), 0);  // half a second after it
    return in;
}

// When the sweep passes hz.
double SweepTime(double hz)
{
    return kSweepSeconds * std::log(hz / 20) / std::log(kIn / 2.0 / 20);
}

// The ratio of block b: nominal, with a wander of 0.1 % over a few seconds.
double RatioOf(std::size_t b)
{
    return (static_cast<double>(kOut) / kIn) * (1.0 + 0.001 * std::sin(static_cast<double>(b) * 0.01));
}

// Converts the input; returns the output (first channel) as floats.
using Converter = std::function<std::size_t(const std::int16_t* in, std::size_t inFrames, std::size_t* taken,
                                            float* out, std::size_t frames, double ratio)>;

std::vector<float> Run(const Converter& convert, const std::vector<std::int16_t>& in, int channels)
{
    const std::size_t inFrames = in.size() / static_cast<std::size_t>(channels);
    std::vector<float> out(static_cast<std::size_t>(kBlock * channels));
    std::vector<float> first;
    std::size_t used = 0;
    for (std::size_t b = 0; used + 2000 < inFrames; ++b) {
        std::size_t taken = 0;
        const std::size_t made = convert(in.data() + used * static_cast<std::size_t>(channels), inFrames - used, &taken,
                                         out.data(), kBlock, RatioOf(b));
        used += taken;
        for (std::size_t i = 0; i < made; ++i)
            first.push_back(out[i * static_cast<std::size_t>(channels)]);
        if (made == 0)
            break;
    }
    return first;
}

double Rms(const std::vector<float>& out, double from, double to)
{
    const auto a = static_cast<std::size_t>(from * kOut), b = std::min(out.size(), static_cast<std::size_t>(to * kOut));
    double sum = 0;
    for (std::size_t i = a; i < b; ++i)
        sum += static_cast<double>(out[i]) * out[i];
    return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
}

void Measure(benchmark::State& state, const std::function<Converter()>& make)
{
    const int channels = static_cast<int>(state.range(0));
    const std::vector<std::int16_t> in = Sweep(channels);
    std::vector<float> out;
    for (auto _ : state) {
        out = Run(make(), in, channels);
        benchmark::DoNotOptimize(out.data());
    }
    const double sweepRms = 0.9 / std::sqrt(2.0);
    // Above the band edge by a little (the converters' transition bands end near it).
    const double alias = Rms(out, SweepTime(22600), SweepTime(23800));
    const double pass = Rms(out, SweepTime(15800), SweepTime(16200));
    state.counters["alias_dB"] = 20 * std::log10(std::max(alias, 1e-9) / sweepRms);
    state.counters["pass_dB"] = 20 * std::log10(std::max(pass, 1e-9) / sweepRms);
    state.counters["sec_per_sec"] =
        benchmark::Counter(kSweepSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Ours(benchmark::State& state)
{
    Measure(state, [&] {
        auto r = std::make_shared<CDriftResampler>(static_cast<int>(state.range(0)), static_cast<double>(kOut) / kIn);
        return Converter([r](const std::int16_t* in, std::size_t n, std::size_t* taken, float* out, std::size_t frames,
                             double ratio) { return r->Convert(in, n, taken, out, frames, ratio); });
    });
}

void SincFastest(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    Measure(state, [&] {
        int error = 0;
        std::shared_ptr<SRC_STATE> s(src_new(SRC_SINC_FASTEST, channels, &error), src_delete);
        auto scratch = std::make_shared<std::vector<float>>(32 * static_cast<std::size_t>(channels));
        return Converter([s, scratch, channels](const std::int16_t* in, std::size_t n, std::size_t* taken, float* out,
                                                std::size_t frames, double ratio) {
            const auto c = static_cast<std::size_t>(channels);
            src_set_ratio(s.get(), ratio);
            std::size_t made = 0;
            std::size_t used = 0;
            while (made < frames) {
                const std::size_t piece = std::min<std::size_t>(32, n - used);
                for (std::size_t i = 0; i < piece * c; ++i)
                    (*scratch)[i] = static_cast<float>(in[used * c + i]) * (1.0f / 32768.0f);
                SRC_DATA data{};
                data.data_in = scratch->data();
                data.input_frames = static_cast<long>(piece);
                data.data_out = out + made * c;
                data.output_frames = static_cast<long>(frames - made);
                data.src_ratio = ratio;
                if (src_process(s.get(), &data) != 0 || (data.input_frames_used == 0 && data.output_frames_gen == 0))
                    break;
                used += static_cast<std::size_t>(data.input_frames_used);
                made += static_cast<std::size_t>(data.output_frames_gen);
            }
            *taken += used;
            return made;
        });
    });
}

void Speex(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    const int quality = static_cast<int>(state.range(1));
    Measure(state, [&] {
        int error = 0;
        std::shared_ptr<SpeexResamplerState> s(
            speex_resampler_init(static_cast<spx_uint32_t>(channels), kIn, kOut, quality, &error), speex_resampler_destroy);
        auto scratch = std::make_shared<std::vector<float>>(4096 * static_cast<std::size_t>(channels));
        return Converter([s, scratch, channels](const std::int16_t* in, std::size_t n, std::size_t* taken, float* out,
                                                std::size_t frames, double ratio) {
            // The ratio as a fraction of whole numbers, to a part in a million (the converter
            // multiplies its fraction by its oversampling in 32 bits: a finer one overflows).
            speex_resampler_set_rate_frac(s.get(), 1000000u, static_cast<spx_uint32_t>(std::llround(1e6 * ratio)), kIn,
                                          kOut);
            const std::size_t want = std::min<std::size_t>(n, static_cast<std::size_t>(frames / ratio) + 1);
            for (std::size_t i = 0; i < want * static_cast<std::size_t>(channels); ++i)
                (*scratch)[i] = static_cast<float>(in[i]) * (1.0f / 32768.0f);
            auto inLen = static_cast<spx_uint32_t>(want);
            auto outLen = static_cast<spx_uint32_t>(frames);
            speex_resampler_process_interleaved_float(s.get(), scratch->data(), &inLen, out, &outLen);
            *taken += inLen;
            return static_cast<std::size_t>(outLen);
        });
    });
}

}  // namespace

BENCHMARK(Ours)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(SincFastest)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Speex)->ArgsProduct({{1, 2}, {1, 3, 5}})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
