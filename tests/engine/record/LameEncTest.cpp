// The encoder library's six entry points, called directly: record checks, chunk and buffer
// sizes, the frames produced and the result codes.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/record/BladeEncApi.h"
#include "engine/record/Mp3TestFiles.h"

using namespace blade;

BLADE_EXPORT BE_ERR beInitStream(BE_CONFIG*, std::uint32_t*, std::uint32_t*, HBE_STREAM*);
BLADE_EXPORT BE_ERR beEncodeChunk(HBE_STREAM, std::uint32_t, const std::int16_t*, std::uint8_t*,
                                  std::uint32_t*);
BLADE_EXPORT BE_ERR beDeinitStream(HBE_STREAM, std::uint8_t*, std::uint32_t*);
BLADE_EXPORT BE_ERR beCloseStream(HBE_STREAM);
BLADE_EXPORT void beVersion(BE_VERSION*);
BLADE_EXPORT BE_ERR beWriteVBRHeader(const char*);

namespace {

BE_CONFIG MakeConfig(std::uint32_t rate, std::uint32_t kbps, bool stereo)
{
    BE_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.dwConfig = BE_CONFIG_LAME;
    c.LHV1.dwStructVersion = 1;
    c.LHV1.dwStructSize = 331;
    c.LHV1.dwSampleRate = rate;
    c.LHV1.nMode = stereo ? BE_MP3_MODE_JSTEREO : BE_MP3_MODE_MONO;
    c.LHV1.dwBitrate = kbps;
    c.LHV1.nPreset = LQP_NOPRESET;
    c.LHV1.bOriginal = 1;
    c.LHV1.bNoRes = 1;
    return c;
}

struct Encoded {
    BE_ERR init = 0;
    std::uint32_t samples = 0;
    std::uint32_t bufferSize = 0;
    std::string bytes;
};

// Opens a stream, encodes `chunks` chunks of the test tone, optionally flushes, closes it.
Encoded Encode(BE_CONFIG config, int chunks, bool flush)
{
    Encoded e;
    HBE_STREAM stream = 0;
    e.init = beInitStream(&config, &e.samples, &e.bufferSize, &stream);
    if (e.init != BE_ERR_SUCCESSFUL)
        return e;
    const int channels = config.LHV1.nMode == BE_MP3_MODE_MONO ? 1 : 2;
    const auto pcm = record_test::MakeTone(config.LHV1.dwSampleRate, channels,
                                           static_cast<std::size_t>(chunks) * e.samples / channels);
    std::vector<std::uint8_t> out(e.bufferSize);
    for (int i = 0; i < chunks; ++i) {
        std::uint32_t n = 12345;
        EXPECT_EQ(beEncodeChunk(stream, e.samples, pcm.data() + static_cast<std::size_t>(i) * e.samples,
                                out.data(), &n),
                  BE_ERR_SUCCESSFUL);
        EXPECT_LE(n, e.bufferSize);
        e.bytes.append(reinterpret_cast<const char*>(out.data()), n);
    }
    if (flush) {
        std::uint32_t n = 0;
        EXPECT_EQ(beDeinitStream(stream, out.data(), &n), BE_ERR_SUCCESSFUL);
        e.bytes.append(reinterpret_cast<const char*>(out.data()), n);
    }
    EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beCloseStream(stream), BE_ERR_INVALID_HANDLE);
    return e;
}

}  // namespace

TEST(LameEnc, RefusesRecordsItDoesNotKnow)
{
    std::uint32_t samples = 0, size = 0;
    HBE_STREAM stream = 0;
    BE_CONFIG c = MakeConfig(44100, 128, true);
    c.dwConfig = BE_CONFIG_MP3;
    EXPECT_EQ(beInitStream(&c, &samples, &size, &stream), BE_ERR_INVALID_FORMAT);
    c = MakeConfig(44100, 128, true);
    c.LHV1.dwStructVersion = 2;
    EXPECT_EQ(beInitStream(&c, &samples, &size, &stream), BE_ERR_INVALID_FORMAT);
    c = MakeConfig(44100, 128, true);
    c.LHV1.dwStructSize = 330;
    EXPECT_EQ(beInitStream(&c, &samples, &size, &stream), BE_ERR_INVALID_FORMAT);
    c = MakeConfig(44100, 128, true);
    c.LHV1.nMode = 7;
    EXPECT_EQ(beInitStream(&c, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = MakeConfig(12345, 128, true);
    EXPECT_EQ(beInitStream(&c, &samples, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = MakeConfig(44100, 128, true);
    EXPECT_EQ(beInitStream(&c, nullptr, &size, &stream), BE_ERR_INVALID_FORMAT_PARAMETERS);
}

TEST(LameEnc, UnknownHandlesAreRefused)
{
    std::uint8_t out[16];
    std::uint32_t n = 0;
    std::int16_t pcm[4] = {};
    EXPECT_EQ(beEncodeChunk(987654, 4, pcm, out, &n), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beDeinitStream(987654, out, &n), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beCloseStream(987654), BE_ERR_INVALID_HANDLE);
}

TEST(LameEnc, ChunkIsOneFramePerChannelAndBufferFitsIt)
{
    struct Case { std::uint32_t rate, kbps; bool stereo; std::uint32_t samples; };
    const Case cases[] = {
        {44100, 256, true, 2304}, {44100, 128, false, 1152}, {22050, 64, true, 1152},
        {22050, 32, false, 576},  {11025, 32, false, 576},   {8000, 8, false, 576},
        {8000, 16, true, 1152},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.kbps) + " kbps");
        BE_CONFIG config = MakeConfig(c.rate, c.kbps, c.stereo);
        std::uint32_t samples = 0, size = 0;
        HBE_STREAM stream = 0;
        ASSERT_EQ(beInitStream(&config, &samples, &size, &stream), BE_ERR_SUCCESSFUL);
        EXPECT_EQ(samples, c.samples);
        const std::uint32_t perChannel = samples / (c.stereo ? 2 : 1);
        EXPECT_EQ(size, perChannel + perChannel / 4 + 7200);
        EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
    }
}

TEST(LameEnc, WritesConstantBitrateFramesAsConfigured)
{
    struct Case { std::uint32_t rate, kbps; bool stereo; int version; int kbpsInFile; };
    const Case cases[] = {
        {44100, 256, true, 1, 256}, {44100, 96, false, 1, 96}, {22050, 48, true, 2, 48},
        {11025, 32, false, 25, 32}, {8000, 8, false, 25, 8},
        // MPEG-2 tops out at 160 kbps: LAME takes the nearest bitrate it can write.
        {22050, 256, true, 2, 160},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.kbps) + " kbps");
        const Encoded e = Encode(MakeConfig(c.rate, c.kbps, c.stereo), 40, false);
        ASSERT_EQ(e.init, BE_ERR_SUCCESSFUL);
        const record_test::FrameWalk walk = record_test::WalkFrames(e.bytes);
        EXPECT_TRUE(walk.wholeFrames);
        EXPECT_TRUE(walk.constantBitrate);
        EXPECT_EQ(walk.version, c.version);
        EXPECT_EQ(walk.rate, static_cast<int>(c.rate));  // never resampled
        EXPECT_EQ(walk.bitrateKbps, c.kbpsInFile);
        EXPECT_EQ(walk.mono, !c.stereo);
        EXPECT_TRUE(walk.original);
        EXPECT_FALSE(walk.crc);
        // No VBR/Info header frame in front.
        EXPECT_EQ(e.bytes.find("Xing"), std::string::npos);
        EXPECT_EQ(e.bytes.find("Info"), std::string::npos);
    }
}

TEST(LameEnc, FlushAddsTheHeldBackSamples)
{
    const BE_CONFIG config = MakeConfig(44100, 128, true);
    const Encoded plain = Encode(config, 20, false);
    const Encoded flushed = Encode(config, 20, true);
    ASSERT_EQ(plain.init, BE_ERR_SUCCESSFUL);
    EXPECT_GT(flushed.bytes.size(), plain.bytes.size());
    // Without a flush the stream is exactly the frames produced so far.
    EXPECT_EQ(flushed.bytes.compare(0, plain.bytes.size(), plain.bytes), 0);
    EXPECT_TRUE(record_test::WalkFrames(flushed.bytes).wholeFrames);
}

TEST(LameEnc, StreamsAreIndependent)
{
    BE_CONFIG a = MakeConfig(44100, 128, true);
    BE_CONFIG b = MakeConfig(8000, 16, false);
    std::uint32_t sa = 0, sb = 0, za = 0, zb = 0;
    HBE_STREAM ha = 0, hb = 0;
    ASSERT_EQ(beInitStream(&a, &sa, &za, &ha), BE_ERR_SUCCESSFUL);
    ASSERT_EQ(beInitStream(&b, &sb, &zb, &hb), BE_ERR_SUCCESSFUL);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(beCloseStream(ha), BE_ERR_SUCCESSFUL);
    std::vector<std::int16_t> pcm(sb, 100);
    std::vector<std::uint8_t> out(zb);
    std::uint32_t n = 0;
    EXPECT_EQ(beEncodeChunk(hb, sb, pcm.data(), out.data(), &n), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beCloseStream(hb), BE_ERR_SUCCESSFUL);
}

TEST(LameEnc, VersionAndVbrHeader)
{
    BE_VERSION v;
    std::memset(&v, 0xAB, sizeof v);
    beVersion(&v);
    EXPECT_EQ(v.byMajorVersion, 3);
    EXPECT_GE(v.byMinorVersion, 90);
    EXPECT_NE(std::strlen(v.zHomepage), 0u);
    EXPECT_LT(std::strlen(v.zHomepage), sizeof v.zHomepage);
    EXPECT_EQ(beWriteVBRHeader("/nonexistent.mp3"), BE_ERR_INVALID_FORMAT_PARAMETERS);
}
