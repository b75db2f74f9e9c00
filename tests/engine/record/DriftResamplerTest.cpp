// Where the resampler says it stands on its input is where the converter really is: fed a
// sawtooth whose value is its own frame number, every output frame's value tells which input
// frame it came from. Checked across changing ratios, conversions that run out of input partway
// and restarts at new places.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/record/DriftResampler.h"

namespace {

constexpr int kTooth = 4000;  // frames of one tooth of the sawtooth

// The input's value at frame f: f's place in its tooth, centred on 0.
double Saw(double f)
{
    return std::fmod(f, kTooth) - kTooth / 2.0;
}

}  // namespace

TEST(DriftResampler, ItsPositionIsWhereTheConverterStands)
{
    CDriftResampler resampler(1, 48000.0 / 44100.0);
    ASSERT_TRUE(resampler.Valid());
    std::vector<std::int16_t> in(20000);
    std::vector<float> out(8000);
    // Each step: restart at (or -1: go on), input frames on hand, output frames asked, ratio.
    struct Step {
        double restartAt;
        std::size_t inFrames;
        std::size_t frames;
        double ratio;
    };
    const Step steps[] = {
        {1000, 6000, 4410, 48000.0 / 44100.0}, {-1, 6000, 4410, 48000.0 / 44100.0 * 1.005},
        {-1, 700, 4410, 48000.0 / 44100.0 * 0.995},  // runs out of input partway
        {-1, 6000, 441, 48000.0 / 44100.0 * 1.0002}, {9000, 6000, 4410, 48000.0 / 44100.0 * 0.99},
        {-1, 300, 4410, 1.01},  // again out of input, right after a restart's first block
        {-1, 6000, 4410, 1.0},  {-1, 6000, 3000, 0.98},
    };
    double next = 0;   // the next input frame to give
    double since = 0;  // output frames since the last restart
    int checked = 0;
    for (const Step& step : steps) {
        if (step.restartAt >= 0) {
            resampler.Restart(step.restartAt);
            next = step.restartAt;
            since = 0;
        }
        for (std::size_t i = 0; i < step.inFrames; ++i)
            in[i] = static_cast<std::int16_t>(Saw(next + static_cast<double>(i)));
        const double from = resampler.InputPosition();
        std::size_t taken = 0;
        const std::size_t made = resampler.Convert(in.data(), step.inFrames, &taken, out.data(), step.frames, step.ratio);
        EXPECT_LE(taken, step.inFrames);
        EXPECT_GT(made, 0u);
        if (step.inFrames * step.ratio > static_cast<double>(step.frames) + 100)
            EXPECT_EQ(made, step.frames);
        else
            EXPECT_LT(made, step.frames) << "enough input for the whole block";
        // Each output frame came from where the count put it: its value is that frame's.
        for (std::size_t k = 0; k < made; ++k, ++since) {
            const double at = from + static_cast<double>(k) / step.ratio;
            const double placeInTooth = std::fmod(at, kTooth);
            if (since < 64 || placeInTooth < 64 || placeInTooth > kTooth - 64)
                continue;  // the filter still sees silence before the restart, or a tooth's edge
            EXPECT_NEAR(out[k] * 32768.0, Saw(at), 0.05) << "output " << k << " from input " << at;
            ++checked;
            if (HasFailure())
                return;
        }
        EXPECT_DOUBLE_EQ(resampler.InputPosition(), from + static_cast<double>(made) / step.ratio);
        // What the converter took lies ahead of its position by no more than its filter's reach.
        next += static_cast<double>(taken);
        EXPECT_GE(next, resampler.InputPosition());
        EXPECT_LE(next - resampler.InputPosition(), 64.0 + resampler.Delay());
    }
    EXPECT_GT(checked, 20000);
}

// A tone comes out as the same tone, sampled where the converter says: what differs from the
// ideal (the band-limited interpolation's error, the table's steps) stays 80 dB down, for a
// drifting clock on the same rate and for 48 kHz onto 44.1 kHz, and a tone above the band that
// the output can hold is taken out rather than folded back into it.
TEST(DriftResampler, ATonePassesCleanAndWhatTheOutputCannotHoldIsTakenOut)
{
    struct Case {
        double nominal, ratio, hz;  // hz: the tone, at a 48 kHz input's frame spacing
        bool passes;
    };
    const Case cases[] = {{1.0, 1.0003, 1000, true}, {1.0, 0.9995, 15000, true},
                          {44100.0 / 48000, 44100.0 / 48000 * 1.002, 9000, true},
                          {44100.0 / 48000, 44100.0 / 48000, 23000, false}};
    for (const Case& c : cases) {
        CDriftResampler resampler(2, c.nominal);
        std::vector<std::int16_t> in(2 * 30000);
        const double w = 2 * M_PI * c.hz / 48000;
        for (std::size_t i = 0; i < in.size() / 2; ++i)
            in[2 * i] = in[2 * i + 1] = static_cast<std::int16_t>(std::lround(16000 * std::sin(w * static_cast<double>(i))));
        std::vector<float> out(2 * 20000);
        const double from = resampler.InputPosition();
        std::size_t taken = 0;
        const std::size_t made = resampler.Convert(in.data(), in.size() / 2, &taken, out.data(), 20000, c.ratio);
        ASSERT_EQ(made, 20000u);
        double error = 0, level = 0;
        for (std::size_t k = 1000; k < made; ++k) {
            const double ideal = 16000.0 / 32768 * std::sin(w * (from + static_cast<double>(k) / c.ratio));
            const double got = out[2 * k];
            EXPECT_EQ(got, out[2 * k + 1]);
            error += (got - ideal) * (got - ideal);
            level += got * got;
        }
        const double toneLevel = 0.5 * (16000.0 / 32768) * (16000.0 / 32768) * static_cast<double>(made - 1000);
        if (c.passes)
            EXPECT_LT(10 * std::log10(error / toneLevel), -80) << c.hz << " Hz at " << c.ratio;
        else
            EXPECT_LT(10 * std::log10(level / toneLevel), -80) << c.hz << " Hz at " << c.ratio;
    }
}
