// Files made to mislead the player, and files from other encoders: the stream is chosen by its
// extent, the length shown is what can be played and reached, junk before the audio costs
// neither a stall nor a wrong format, and nothing hostile ends the program.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "engine/play/Mp3Decoder.h"
#include "engine/play/PlayerTestSupport.h"
#include "support/MessageCapture.h"

using namespace play_test;

namespace {

// Runs a shell command that makes out from in; the bytes of out.
std::string Convert(const std::string& command, const std::string& out)
{
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return testing_support::ReadWholeFile(out);
}

// Layer II frames of a tone, by ffmpeg's encoder.
std::string Layer2(const DiskOutput& dir, int rate, int channels, double seconds, int kbps)
{
    const std::string wav = dir.File("l2.wav");
    testing_support::WriteWholeFile(wav, MakeWav(rate, channels, seconds));
    const std::string out = dir.File("l2.mp2");
    return Convert("ffmpeg -nostdin -y -v quiet -i '" + wav + "' -c:a mp2 -b:a " + std::to_string(kbps) + "k -f mp2 '" + out + "'", out);
}

// Free-format Layer III frames by the lame program.
std::string FreeFormat(const DiskOutput& dir, double seconds, int kbps)
{
    const std::string wav = dir.File("ff.wav");
    testing_support::WriteWholeFile(wav, MakeWav(44100, 2, seconds));
    const std::string out = dir.File("ff.mp3");
    return Convert("lame --quiet -t --freeformat -b " + std::to_string(kbps) + " '" + wav + "' '" + out + "'", out);
}

// Samples per channel a decoder delivers from a sample frame to the end.
std::int64_t DecodedFrom(play::Mp3Decoder& decoder, std::int64_t from)
{
    if (!decoder.SeekFrame(from))
        return -1;
    std::vector<std::int16_t> buffer(65536);
    std::int64_t total = 0;
    while (const std::size_t got = decoder.Read(buffer.data(), buffer.size() / static_cast<std::size_t>(decoder.Channels())))
        total += static_cast<std::int64_t>(got);
    return total;
}

// Opens a decoder on path and checks that its length is exactly what it decodes, from the
// start and from near the end.
std::int64_t ExpectReachableLength(const std::string& path)
{
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
    play::Mp3Decoder decoder;
    EXPECT_TRUE(decoder.Open(fd.Get(), static_cast<std::int64_t>(testing_support::ReadWholeFile(path).size())));
    const std::int64_t length = decoder.LengthFrames();
    EXPECT_EQ(DecodedFrom(decoder, 0), length);
    EXPECT_EQ(DecodedFrom(decoder, length - 1000), 1000);
    EXPECT_EQ(DecodedFrom(decoder, length), 0);
    return length;
}

// Read system calls this process has made so far (Linux), or -1 when unknown.
long ReadCalls()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long value = 0;
    while (io >> key >> value)
        if (key == "syscr:")
            return value;
    return -1;
}

class HostileFilesTest : public ::testing::Test {
protected:
    // Loads path into a player: its length and the format written back, no message.
    float LoadedLength(const std::string& path, TrackInfo& track)
    {
        testing_support::MessageCapture messages;
        CMp3Player player(ConfiguredTrack(path));
        track = ConfiguredTrack(path);
        EXPECT_TRUE(player.Load(track));
        EXPECT_TRUE(messages.Messages().empty());
        return player.GetLength();
    }
    DiskOutput m_out;
};

}  // namespace

TEST_F(HostileFilesTest, AnAppendedRecordingOfAnotherLayerIsPlayedAndCounted)
{
    std::string layer2 = Layer2(m_out, 44100, 2, 3.0, 192);
    {
        // Cut to a frame count one past a multiple of 8: a seek then starts decoding at the
        // last Layer II frame alone before the Layer III frames (libmpg123's read-ahead would
        // have dropped it as a false sync).
        platform::UniqueFd fd(::open(m_out.Write("whole-l2.mp3", layer2).c_str(), O_RDONLY));
        play::Mp3FrameMap map;
        ASSERT_TRUE(map.Build(fd.Get(), static_cast<std::int64_t>(layer2.size())));
        const std::int64_t frames = (map.FrameCount() - 2) / 8 * 8 + 1;
        layer2.resize(static_cast<std::size_t>(map.Offsets()[static_cast<std::size_t>(frames)]));
    }
    const std::string layer3 = EncodeMp3({44100, 2, 128, 3.0, 1, false});
    const std::string path = m_out.Write("mixed.mp3", layer2 + layer3);
    const std::int64_t length = ExpectReachableLength(path);
    // Both recordings: whole MPEG frames of 1152 samples each, about six seconds.
    EXPECT_GT(length, 6 * 44100 - 2 * 1152);
    const std::int64_t layer2Length = ExpectReachableLength(m_out.Write("l2.mp3", layer2));
    EXPECT_EQ(length, layer2Length + ExpectReachableLength(m_out.Write("l3.mp3", layer3)));
    // Seeks around the change of layer, where decoding starts at a Layer II frame or two
    // before the first Layer III frame, still reach exactly the rest of the file.
    {
        platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
        play::Mp3Decoder decoder;
        ASSERT_TRUE(decoder.Open(fd.Get(), static_cast<std::int64_t>(layer2.size() + layer3.size())));
        for (std::int64_t at = layer2Length - 14 * 1152; at <= layer2Length + 14 * 1152; at += 576) {
            SCOPED_TRACE(at);
            EXPECT_EQ(DecodedFrom(decoder, at), length - at);
        }
    }

    TrackInfo track;
    EXPECT_NEAR(LoadedLength(path, track), static_cast<double>(length) / 44100, 0.001);
    EXPECT_EQ(track.sampleRate, 44100);
    EXPECT_EQ(track.channels, 2);
}

TEST_F(HostileFilesTest, AFewChainedHeadersOfAnotherStreamDoNotDecideTheFormat)
{
    // Three 24 kHz 8 kbps mono frame headers (24-byte frames) that junk happened to form.
    std::string junk;
    for (int i = 0; i < 3; ++i)
        junk += std::string("\xFF\xF3\x14\xC4", 4) + std::string(20, '\x11');
    const std::string audio = EncodeMp3({44100, 2, 128, 2.0, 2, false});
    const std::string path = m_out.Write("decoy.mp3", junk + audio);
    const std::int64_t length = ExpectReachableLength(path);
    EXPECT_EQ(length, ExpectReachableLength(m_out.Write("clean.mp3", audio)));

    TrackInfo track;
    EXPECT_NEAR(LoadedLength(path, track), 2.0, 0.1);
    EXPECT_EQ(track.bitrate, 128000);
    EXPECT_EQ(track.sampleRate, 44100);
    EXPECT_EQ(track.channels, 2);
}

TEST_F(HostileFilesTest, JunkBeforeTheAudioIsSkippedOnceAndPlaysLikeTheCleanFile)
{
    std::string junk(10 << 20, '\0');
    std::uint32_t x = 77;
    for (auto& c : junk) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    const std::string audio = EncodeMp3({22050, 1, 32, 1.5, 3, false});
    const std::string path = m_out.Write("junk.mp3", junk + audio);
    const std::string clean = m_out.Write("clean.mp3", audio);
    EXPECT_EQ(ExpectReachableLength(path), ExpectReachableLength(clean));

    // The junk is read once, by the walk, in large reads: opening and seeking never make
    // libmpg123 crawl through it again (it read one byte per call).
    {
        platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
        const long before = ReadCalls();
        play::Mp3Decoder decoder;
        ASSERT_TRUE(decoder.Open(fd.Get(), static_cast<std::int64_t>(junk.size() + audio.size())));
        for (std::int64_t at : {decoder.LengthFrames() / 2, std::int64_t{0}, decoder.LengthFrames() - 100})
            ASSERT_TRUE(decoder.SeekFrame(at));
        if (before >= 0) {
            EXPECT_LT(ReadCalls() - before, 1000);
        }
    }

    // The same sound as the clean file, from the start and after a seek.
    const auto whole = ReferenceDecode(clean);
    {
        CMp3Player player(ConfiguredTrack(path));
        TrackInfo track = ConfiguredTrack(path);
        ASSERT_TRUE(player.Load(track));
        player.Seek(0.5f);
        ASSERT_TRUE(PlayToEnd(player));
    }
    EXPECT_EQ(WithoutZeros(m_out.Played()), ExpectedFrom(whole, FrameOf(0.5f, 22050), 1));
}

TEST_F(HostileFilesTest, AFreeFormatFilePlaysToItsLength)
{
    const std::string path = m_out.Write("free.mp3", FreeFormat(m_out, 2.0, 200));
    const std::int64_t length = ExpectReachableLength(path);
    EXPECT_EQ(length * 2, static_cast<std::int64_t>(ReferenceDecode(path).size()));

    TrackInfo track;
    EXPECT_NEAR(LoadedLength(path, track), 2.0, 0.1);
    EXPECT_EQ(track.sampleRate, 44100);
    EXPECT_NEAR(track.bitrate, 200000, 1000);
}

TEST_F(HostileFilesTest, AHugeSparseFileNeitherReservesNorAborts)
{
    // Two small frames, then 100 GiB of nothing: too little to believe, and no memory is
    // reserved for frames that are not there.
    const std::string frames = EncodeMp3({8000, 1, 8, 0.2, 0, false}).substr(0, 2 * 72);
    const std::string path = m_out.Write("huge.mp3", frames);
    {
        platform::UniqueFd fd(::open(path.c_str(), O_WRONLY));
        ASSERT_EQ(::ftruncate(fd.Get(), std::int64_t{100} << 30), 0);
    }
    testing_support::MessageCapture messages;
    {
        CMp3Player player(ConfiguredTrack(path));
        TrackInfo track = ConfiguredTrack(path);
        EXPECT_FALSE(player.Load(track));
    }
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, path + "\nНевозможно инициализировать декодер.\n");
}

TEST_F(HostileFilesTest, ACancelledDecoderStopsAtOnce)
{
    const std::string path = m_out.Write("long.mp3", EncodeMp3({11025, 1, 16, 20.0, 0, false}));
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
    play::Mp3Decoder decoder;
    ASSERT_TRUE(decoder.Open(fd.Get(), static_cast<std::int64_t>(testing_support::ReadWholeFile(path).size())));
    decoder.Cancel();
    // A seek far into the file decodes nothing more once cancelled.
    EXPECT_FALSE(decoder.SeekFrame(decoder.LengthFrames() / 2));
    std::int16_t samples[1024];
    EXPECT_EQ(decoder.Read(samples, 1024), 0u);
}
