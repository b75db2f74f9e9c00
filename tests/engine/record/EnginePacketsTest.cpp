// What a sound engine's packets become in the recording: mix formats of every sample type and
// speaker layout mixed down, resampled and read at their level (never as noise), and the
// packets' clocks telling a lost run from the silence of an output that plays nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/record/MixFormatConverter.h"
#include "engine/record/PacketTimeline.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Writes value (full scale 1.0) as one sample of the given type.
void Put(MixFormat::Sample type, double value, std::uint8_t* p)
{
    const auto asInt = [&](double scale) { return static_cast<std::int64_t>(std::lround(value * scale)); };
    switch (type) {
    case MixFormat::Sample::Float32: {
        const float f = static_cast<float>(value);
        std::memcpy(p, &f, 4);
        break;
    }
    case MixFormat::Sample::Int8: p[0] = static_cast<std::uint8_t>(asInt(127) + 128); break;
    case MixFormat::Sample::Int16: {
        const auto v = static_cast<std::int16_t>(asInt(32767));
        std::memcpy(p, &v, 2);
        break;
    }
    case MixFormat::Sample::Int24: {
        const auto v = static_cast<std::uint32_t>(asInt(8388607));
        p[0] = v & 0xff, p[1] = (v >> 8) & 0xff, p[2] = (v >> 16) & 0xff;
        break;
    }
    case MixFormat::Sample::Int24In32: {
        const auto v = static_cast<std::int32_t>(asInt(8388607) * 256);
        std::memcpy(p, &v, 4);
        break;
    }
    case MixFormat::Sample::Int32: {
        const auto v = static_cast<std::int32_t>(asInt(2147483647.0));
        std::memcpy(p, &v, 4);
        break;
    }
    }
}

struct Channel {
    double peak = 0;
    int crossings = 0;  // upward zero crossings
};

// Feeds a second of input with a tone per input channel (frequency 0: silent channel, -1: a
// loud noise-like signal) through the converter; measures each output channel after the first
// tenth of a second.
std::vector<Channel> Convert(const MixFormat& format, const std::vector<double>& tones, double level,
                         std::uint16_t outChannels, std::uint32_t outRate)
{
    CMixFormatConverter converter;
    EXPECT_TRUE(converter.Configure(format, outChannels, outRate));
    const std::size_t bytesPerSample = format.BytesPerFrame() / format.channels;
    std::vector<std::uint8_t> chunk(1000 * format.BytesPerFrame());
    std::vector<Channel> out(outChannels);
    std::vector<std::int16_t> previous(outChannels, 0);
    std::size_t made = 0;
    for (std::uint32_t start = 0; start < format.rate; start += 1000) {
        const std::uint32_t frames = std::min<std::uint32_t>(1000, format.rate - start);
        for (std::uint32_t f = 0; f < frames; ++f)
            for (std::uint16_t c = 0; c < format.channels; ++c) {
                const double t = static_cast<double>(start + f) / format.rate;
                const double value = tones[c] > 0   ? level * std::sin(2 * kPi * tones[c] * t)
                                     : tones[c] < 0 ? level * std::sin(2 * kPi * 7919 * t * t)
                                                    : 0.0;
                Put(format.sample, value, &chunk[(f * format.channels + c) * bytesPerSample]);
            }
        const std::size_t n = converter.Convert(chunk.data(), frames);
        for (std::size_t f = 0; f < n; ++f, ++made)
            for (std::uint16_t o = 0; o < outChannels; ++o) {
                const std::int16_t v = converter.Output()[f * outChannels + o];
                if (made > outRate / 10) {
                    out[o].peak = std::max(out[o].peak, std::abs(v) / 32768.0);
                    out[o].crossings += previous[o] < 0 && v >= 0;
                }
                previous[o] = v;
            }
    }
    EXPECT_NEAR(static_cast<double>(made), outRate, outRate * 0.01);
    return out;
}

double Db(double ratio) { return 20 * std::log10(ratio); }

}  // namespace

TEST(EnginePackets, EverySampleTypeIsReadAtItsLevel)
{
    using S = MixFormat::Sample;
    for (S type : {S::Float32, S::Int8, S::Int16, S::Int24, S::Int24In32, S::Int32}) {
        // Stereo to mono: the same tone on both sides keeps its level.
        const auto out = Convert({type, 2, 44100, 0}, {440, 440}, 0.5, 1, 44100);
        EXPECT_NEAR(Db(out[0].peak / 0.5), 0.0, 0.2) << static_cast<int>(type);  // 8 bits: 0.14 dB
        EXPECT_NEAR(out[0].crossings, 396, 2) << static_cast<int>(type);  // 440 Hz over 0.9 s
    }
}

TEST(EnginePackets, SurroundIsMixedDownByWhereItsSpeakersStand)
{
    // 5.1 float at 96 kHz into stereo at 44.1 kHz: a tone on the front left stays on the left at
    // its level and pitch, the front right's on the right; the low-frequency channel's loud
    // signal is left out, a centre tone comes to both sides at -3 dB.
    const MixFormat surround{MixFormat::Sample::Float32, 6, 96000, 0x3f};
    auto out = Convert(surround, {1000, 0, 0, -1, 0, 0}, 0.5, 2, 44100);
    EXPECT_NEAR(Db(out[0].peak / 0.5), 0.0, 0.2);
    EXPECT_NEAR(out[0].crossings, 900, 2);
    EXPECT_LT(out[1].peak, 0.001);
    out = Convert(surround, {0, 0, 500, 0, 0, 0}, 0.5, 2, 44100);
    EXPECT_NEAR(Db(out[0].peak / 0.5), -3.0, 0.2);
    EXPECT_NEAR(Db(out[1].peak / 0.5), -3.0, 0.2);
    // 8 channels of 24 bits in 32 with no mask (7.1), a tone on the side right: on the right.
    out = Convert({MixFormat::Sample::Int24In32, 8, 48000, 0}, {0, 0, 0, 0, 0, 0, 0, 300}, 0.5, 2, 48000);
    EXPECT_NEAR(Db(out[1].peak / 0.5), -3.0, 0.2);
    EXPECT_LT(out[0].peak, 0.001);
    // A mono microphone at 48 kHz fills both sides of a 44.1 kHz recording at its level.
    out = Convert({MixFormat::Sample::Int16, 1, 48000, 0}, {440}, 0.25, 2, 44100);
    EXPECT_NEAR(Db(out[0].peak / 0.25), 0.0, 0.2);
    EXPECT_NEAR(Db(out[1].peak / 0.25), 0.0, 0.2);
    // Sounds that add up past full scale are clipped, not wrapped round to the other sign.
    out = Convert({MixFormat::Sample::Float32, 3, 44100, 0x7}, {200, 0, 200}, 0.9, 2, 44100);
    EXPECT_GT(out[0].peak, 0.99);
    EXPECT_NEAR(out[0].crossings, 180, 2);
}

TEST(EnginePackets, ACaptureDevicesHolesAreDropsWhereTheyLie)
{
    constexpr std::int64_t kMs = 10'000;  // 100-ns units
    CPacketTimeline timeline(48000, false);
    timeline.Start(0);
    EXPECT_EQ(timeline.Packet(5000, 0, 480, true).dropped, 0u);  // the first packet's flag is no hole
    EXPECT_EQ(timeline.Packet(5480, 10 * kMs, 480, false).dropped, 0u);
    // The position jumps by 2400 frames: lost.
    const auto gap = timeline.Packet(8360, 60 * kMs, 480, false);
    EXPECT_EQ(gap.dropped, 2400u);
    EXPECT_EQ(gap.silence, 0u);
    // Flagged with the position moved by less than the hole lasted: its length by the clock.
    EXPECT_EQ(timeline.Packet(8840 + 480, 170 * kMs, 480, true).dropped, 4800u);
    // Flagged as Wine flags an overrun (a packet's move of the position, the times jumping a
    // few packets later): the jump is the rest of that hole. A jump of the times alone is jitter.
    EXPECT_EQ(timeline.Packet(10280, 180 * kMs, 480, true).dropped, 480u);
    EXPECT_EQ(timeline.Packet(10760, 190 * kMs, 480, false).dropped, 0u);
    const auto rest = timeline.Packet(11240, 1200 * kMs, 480, false);
    EXPECT_EQ(rest.dropped, 48000u);
    EXPECT_TRUE(rest.rest);
    EXPECT_EQ(timeline.Packet(11720, 1400 * kMs, 480, false).dropped, 0u);
    // Holes of three seconds: the times jump by that much however long the hole lasted, and the
    // packet that carries the jump may be flagged again (an overrun while the buffer emptied).
    std::uint64_t position = 12200;
    std::int64_t time = 1410 * kMs;
    for (const bool flaggedAgain : {false, true}) {
        position += 480;  // the flagged packet moves the position by one packet
        for (int packet = 0; packet <= 50; ++packet, position += 480, time += 10 * kMs)
            EXPECT_EQ(timeline.Packet(position, time, 480, packet == 0).dropped, packet == 0 ? 480u : 0u);
        position += flaggedAgain ? 480 : 0;
        time += 3000 * kMs;
        const auto jump = timeline.Packet(position, time, 480, flaggedAgain);
        EXPECT_EQ(jump.dropped, 144000u);
        EXPECT_TRUE(jump.rest);
        position += 480;
        time += 10 * kMs;
    }
    EXPECT_EQ(timeline.Idle(5000 * kMs), 0u);  // a silent microphone is no silence to fill
}

TEST(EnginePackets, ALoopbackWithNothingPlayingIsSilenceOnTheClock)
{
    constexpr std::int64_t kMs = 10'000;
    CPacketTimeline timeline(48000, true);
    timeline.Start(0);
    std::uint64_t silence = 0;
    EXPECT_EQ(timeline.Packet(0, 0, 480, false).silence, 0u);
    // Five seconds with no packet, waits timing out every 10 ms: the clock fills them, behind
    // by the margin.
    for (std::int64_t now = 10 * kMs; now <= 5010 * kMs; now += 10 * kMs)
        silence += timeline.Idle(now);
    EXPECT_EQ(silence, 48000u * 49 / 10);
    // Playing again, with a jump of the position and the discontinuity flag: the rest of the
    // silence, never a drop; the timeline holds exactly the five seconds.
    const auto gap = timeline.Packet(480 + 240000, 5010 * kMs, 480, true);
    EXPECT_EQ(gap.dropped, 0u);
    EXPECT_EQ(silence + gap.silence, 240000u);
    // Packets following on add nothing; a quiet output from the start is silence too.
    EXPECT_EQ(timeline.Packet(480 + 240480, 5020 * kMs, 480, false).silence, 0u);
    CPacketTimeline quiet(48000, true);
    quiet.Start(0);
    EXPECT_EQ(quiet.Idle(1100 * kMs), 48000u);
}
