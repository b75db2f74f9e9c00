// The frame walk against libmpg123's own full scan: same frame offsets, same sample count,
// for our appended recordings and for the awkward files (tags, junk, truncation, stale Info).

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/play/Mp3Decoder.h"
#include "engine/play/Mp3FrameMap.h"
#include "engine/play/Mp3Fixtures.h"
#include "platform/UniqueFd.h"
#include "support/TempDir.h"

using play_test::EncodeMp3;
using play_test::EncodeParams;

namespace {

// libmpg123's own index of every frame, built by a full scan.
std::vector<std::int64_t> ScannedOffsets(const std::string& path)
{
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0);
    mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_param(h, MPG123_INDEX_SIZE, -1000, 0);
    std::vector<std::int64_t> result;
    if (mpg123_open(h, path.c_str()) == MPG123_OK && mpg123_scan(h) == MPG123_OK) {
        off_t* offsets = nullptr;
        off_t step = 0;
        size_t fill = 0;
        if (mpg123_index(h, &offsets, &step, &fill) == MPG123_OK && step == 1)
            result.assign(offsets, offsets + fill);
    }
    mpg123_close(h);
    mpg123_delete(h);
    return result;
}

play::Mp3FrameMap Walk(const std::string& path)
{
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
    play::Mp3FrameMap map;
    EXPECT_TRUE(map.Build(fd.Get(), static_cast<std::int64_t>(testing_support::ReadWholeFile(path).size())));
    return map;
}

std::string ThreeRecordings(int rate, int channels, int kbps)
{
    std::string mp3;
    for (int tone = 0; tone < 3; ++tone)
        mp3 += EncodeMp3({rate, channels, kbps, 0.7 + 0.3 * tone, tone, false});
    return mp3;
}

std::string Id3v2Tag()
{
    std::string body = "TIT2";
    body += std::string("\0\0\0\x06\0\0\0Title", 12);
    body += std::string(300, '\0');  // padding
    std::string tag = "ID3";
    tag += std::string("\x03\x00\x00", 3);
    const auto n = body.size();
    tag += static_cast<char>((n >> 21) & 0x7F);
    tag += static_cast<char>((n >> 14) & 0x7F);
    tag += static_cast<char>((n >> 7) & 0x7F);
    tag += static_cast<char>(n & 0x7F);
    return tag + body;
}

std::string Id3v1Tag() { return "TAG" + std::string(125, 'x'); }

std::string ApeTag()
{
    std::string footer = "APETAGEX";
    footer += std::string("\xD0\x07\0\0\x20\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 24);
    return footer;
}

// Checks the walk against libmpg123's scan and full decode of the file.
void ExpectAgreesWithLibmpg123(const std::string& path)
{
    const play::Mp3FrameMap map = Walk(path);
    const std::vector<std::int64_t> scanned = ScannedOffsets(path);
    ASSERT_FALSE(scanned.empty());
    EXPECT_EQ(map.Offsets(), scanned);
    const auto decoded = play_test::ReferenceDecode(path);
    EXPECT_EQ(map.TotalSamples() * map.Header().Channels(), static_cast<std::int64_t>(decoded.size()));
}

class FrameMapTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = m_dir.File(name);
        testing_support::WriteWholeFile(path, bytes);
        return path;
    }
    testing_support::TempDir m_dir;
};

}  // namespace

TEST(MpegFrameHeaderTest, DecodesLayer3HeadersOfEveryVersion)
{
    const unsigned char mpeg1[] = {0xFF, 0xFB, 0x90, 0x64};  // 128 kbps 44100 joint stereo
    auto h = play::MpegFrameHeader::Parse(mpeg1);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->version, 1);
    EXPECT_EQ(h->layer, 3);
    EXPECT_EQ(h->bitrateKbps, 128);
    EXPECT_EQ(h->sampleRate, 44100);
    EXPECT_EQ(h->Channels(), 2);
    EXPECT_EQ(h->frameBytes, 417);
    EXPECT_EQ(h->samplesPerFrame, 1152);

    const unsigned char mpeg25[] = {0xFF, 0xE3, 0x40, 0xC4};  // 32 kbps 11025 mono (MPEG 2.5)
    h = play::MpegFrameHeader::Parse(mpeg25);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->version, 3);
    EXPECT_EQ(h->sampleRate, 11025);
    EXPECT_EQ(h->bitrateKbps, 32);
    EXPECT_EQ(h->Channels(), 1);
    EXPECT_EQ(h->samplesPerFrame, 576);
    EXPECT_EQ(h->frameBytes, 72 * 32000 / 11025);

    const unsigned char freeFormat[] = {0xFF, 0xFB, 0x00, 0x64};
    const unsigned char badRate[] = {0xFF, 0xFB, 0x9C, 0x64};
    const unsigned char reservedVersion[] = {0xFF, 0xEB, 0x90, 0x64};
    const unsigned char noSync[] = {0xFF, 0x7B, 0x90, 0x64};
    EXPECT_FALSE(play::MpegFrameHeader::Parse(freeFormat));
    EXPECT_FALSE(play::MpegFrameHeader::Parse(badRate));
    EXPECT_FALSE(play::MpegFrameHeader::Parse(reservedVersion));
    EXPECT_FALSE(play::MpegFrameHeader::Parse(noSync));
}

TEST_F(FrameMapTest, AppendedRecordingsMatchLibmpg123ScanAtEveryRate)
{
    const struct { int rate, channels, kbps; } formats[] = {{8000, 1, 16}, {11025, 2, 32}, {22050, 1, 64}, {44100, 2, 128}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.rate);
        ExpectAgreesWithLibmpg123(Write("rec.mp3", ThreeRecordings(f.rate, f.channels, f.kbps)));
    }
}

TEST_F(FrameMapTest, TagsJunkAndTruncationMatchLibmpg123)
{
    const std::string a = EncodeMp3({22050, 2, 64, 1.0, 1, false});
    const std::string b = EncodeMp3({22050, 2, 64, 1.0, 2, false});
    {
        SCOPED_TRACE("ID3v2 at start, ID3v1 and APE at end");
        ExpectAgreesWithLibmpg123(Write("tags.mp3", Id3v2Tag() + a + b + ApeTag() + Id3v1Tag()));
    }
    {
        SCOPED_TRACE("junk between recordings");
        std::string junk;
        for (int i = 0; i < 3000; ++i)
            junk += static_cast<char>("garbage text between frames "[i % 28]);
        ExpectAgreesWithLibmpg123(Write("junk.mp3", a + junk + b + std::string(2000, '\0')));
    }
    {
        SCOPED_TRACE("truncated last frame");
        const std::string whole = a + b;
        const std::string path = Write("cut.mp3", whole.substr(0, whole.size() - 100));
        ExpectAgreesWithLibmpg123(path);
        EXPECT_EQ(Walk(path).FrameCount(), Walk(Write("whole.mp3", whole)).FrameCount() - 1);
    }
}

TEST_F(FrameMapTest, StaleInfoFrameIsCountedAsAFrameAndNotTrusted)
{
    const std::string first = EncodeMp3({44100, 2, 128, 1.0, 0, true});
    const std::string path = Write("stale.mp3", first + EncodeMp3({44100, 2, 128, 2.0, 3, false}));
    ExpectAgreesWithLibmpg123(path);
    const play::Mp3FrameMap map = Walk(path);
    // The Info frame speaks for the first recording only.
    EXPECT_GT(map.TotalSamples(), play_test::TrustingLength(path) + 2 * 44100 - 2000);
}

TEST_F(FrameMapTest, NothingMpegIsNotMapped)
{
    testing_support::TempDir dir;
    std::string random(100000, '\0');
    std::uint32_t x = 12345;
    for (auto& c : random) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    const std::string inputs[] = {"this is just text\n", random, play_test::MakeWav(44100, 2, 1.0), std::string(5000, '\xFF')};
    for (const auto& bytes : inputs) {
        const std::string path = Write("x.mp3", bytes);
        platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
        play::Mp3FrameMap map;
        EXPECT_FALSE(map.Build(fd.Get(), static_cast<std::int64_t>(bytes.size())));
        play::Mp3Decoder decoder;
        EXPECT_FALSE(decoder.Open(fd.Get(), static_cast<std::int64_t>(bytes.size())));
    }
}

TEST_F(FrameMapTest, DecoderSeeksSampleAccuratelyThroughTheSeededIndex)
{
    const struct { int rate, channels, kbps; } formats[] = {{11025, 1, 32}, {44100, 2, 128}};
    for (const auto& f : formats) {
        SCOPED_TRACE(f.rate);
        const std::string path = Write("seek.mp3", ThreeRecordings(f.rate, f.channels, f.kbps));
        const auto whole = play_test::ReferenceDecode(path);
        platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
        play::Mp3Decoder decoder;
        ASSERT_TRUE(decoder.Open(fd.Get(), static_cast<std::int64_t>(testing_support::ReadWholeFile(path).size())));
        const std::int64_t length = decoder.LengthFrames();
        ASSERT_EQ(length * f.channels, static_cast<std::int64_t>(whole.size()));
        // Forward, backward, on and off frame boundaries, near the start and at the end.
        for (std::int64_t at : {std::int64_t{0}, std::int64_t{1}, std::int64_t{5000}, std::int64_t{12345}, std::int64_t{2303},
                                std::int64_t{9000}, length - 700, std::int64_t{3}, length}) {
            SCOPED_TRACE(at);
            ASSERT_TRUE(decoder.SeekFrame(at));
            std::vector<std::int16_t> got(static_cast<std::size_t>((length - at + 10) * f.channels));
            got.resize(decoder.Read(got.data(), got.size() / f.channels) * f.channels);
            // Every sample equals the decode from the start, whatever the decoder read before.
            ASSERT_EQ(got.size(), whole.size() - static_cast<std::size_t>(at * f.channels));
            EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.begin() + at * f.channels));
        }
    }
}

TEST(MpegFrameHeaderTest, FreeFormatNeedsItsFrameSize)
{
    const unsigned char freeFormat[] = {0xFF, 0xFB, 0x02, 0x64};  // 44100, padded, joint stereo
    EXPECT_TRUE(play::MpegFrameHeader::IsFreeFormat(freeFormat));
    EXPECT_FALSE(play::MpegFrameHeader::Parse(freeFormat));
    const auto h = play::MpegFrameHeader::Parse(freeFormat, 574);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->frameBytes, 575);
    EXPECT_EQ(h->freeFormatBytes, 574);
    EXPECT_EQ(h->bitrateKbps, 574 * 44100 / 144000);
    const unsigned char standard[] = {0xFF, 0xFB, 0x90, 0x64};
    EXPECT_FALSE(play::MpegFrameHeader::IsFreeFormat(standard));
}

TEST_F(FrameMapTest, TheLongestRunDecidesTheFormatAndItsLikeArePlayed)
{
    // A short 22050 Hz recording, a long 44100 Hz one, a short 22050 Hz one again, then
    // another 44100 Hz one after junk: the 44100 Hz runs are played, the others are junk.
    const std::string shortA = EncodeMp3({22050, 1, 32, 0.5, 1, false});
    const std::string longB = EncodeMp3({44100, 2, 128, 2.0, 2, false});
    const std::string shortC = EncodeMp3({22050, 1, 32, 0.5, 3, false});
    const std::string moreD = EncodeMp3({44100, 2, 96, 1.0, 4, false});
    const play::Mp3FrameMap map = Walk(Write("mixed.mp3", shortA + longB + shortC + std::string(999, 'j') + moreD));
    EXPECT_EQ(map.Header().sampleRate, 44100);
    EXPECT_EQ(map.Header().bitrateKbps, 128);
    ASSERT_EQ(map.Runs().size(), 2u);
    EXPECT_EQ(map.Runs()[0].begin, static_cast<std::int64_t>(shortA.size()));
    EXPECT_EQ(map.Runs()[1].streamBegin, static_cast<std::int64_t>(longB.size()));
    const play::Mp3FrameMap b = Walk(Write("b.mp3", longB));
    const play::Mp3FrameMap d = Walk(Write("d.mp3", moreD));
    EXPECT_EQ(map.TotalSamples(), b.TotalSamples() + d.TotalSamples());
    EXPECT_EQ(map.FrameCount(), b.FrameCount() + d.FrameCount());
    // Samples and frames map onto each other across the runs.
    EXPECT_EQ(map.FrameOfSample(b.TotalSamples()), b.FrameCount());
    EXPECT_EQ(map.SampleOfFrame(b.FrameCount() + 1), b.TotalSamples() + 1152);
    EXPECT_EQ(map.FrameOfSample(map.TotalSamples()), map.FrameCount());
    EXPECT_EQ(map.StreamOffsetOfFrame(map.FrameCount()), map.StreamBytes());
    EXPECT_EQ(map.StreamBytes(), static_cast<std::int64_t>(longB.size() + moreD.size()));
}

TEST_F(FrameMapTest, HolesOfASparseFileAreJumped)
{
    // A recording, a 4 GiB hole, another recording: both are found without reading the hole.
    const std::string a = EncodeMp3({11025, 1, 16, 0.5, 1, false});
    const std::string path = Write("sparse.mp3", a);
    const std::int64_t gap = std::int64_t{4} << 30;
    {
        platform::UniqueFd fd(::open(path.c_str(), O_WRONLY));
        const std::string b = EncodeMp3({11025, 1, 16, 0.5, 2, false});
        ASSERT_EQ(::pwrite(fd.Get(), b.data(), b.size(), static_cast<off_t>(a.size() + gap)), static_cast<ssize_t>(b.size()));
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
    play::Mp3FrameMap map;
    ASSERT_TRUE(map.Build(fd.Get(), st.st_size));
    ASSERT_EQ(map.Runs().size(), 2u);
    EXPECT_EQ(map.Runs()[1].begin, static_cast<std::int64_t>(a.size()) + gap);
}

TEST_F(FrameMapTest, FreeFormatFramesMustHoldTheirSideInformation)
{
    // 37-byte free-format frames, MPEG 1 stereo: room for the header, 32 bytes of side
    // information and one byte, but not for a checksum as well.
    auto frames = [](unsigned char protection) {
        std::string bytes;
        for (int i = 0; i < 4; ++i)
            bytes += std::string{'\xFF', static_cast<char>(0xFA | protection), '\x00', '\x00'} + std::string(33, '\x01');
        return bytes;
    };
    EXPECT_EQ(Walk(Write("plain.mp3", frames(1))).FrameCount(), 4);
    // With checksums the next header is too near to end a frame: the frames are sized to
    // the header after it.
    const play::Mp3FrameMap crc = Walk(Write("crc.mp3", frames(0)));
    EXPECT_EQ(crc.FrameCount(), 2);
    EXPECT_EQ(crc.Header().frameBytes, 74);
}
