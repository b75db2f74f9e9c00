// CMp3Player playing through SDL's disk driver, compared sample by sample with libmpg123's
// decode of the same file from the start.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine/play/PlayerTestSupport.h"
#include "support/MessageCapture.h"

using namespace play_test;

namespace {

std::string Recordings(int rate, int channels, int kbps, std::initializer_list<double> seconds)
{
    std::string mp3;
    int tone = 0;
    for (double s : seconds)
        mp3 += EncodeMp3({rate, channels, kbps, s, tone++, false});
    return mp3;
}

struct Format {
    int rate, channels, kbps;
};

class Mp3PlayerTest : public ::testing::Test {
protected:
    DiskOutput m_out;
    testing_support::MessageCapture m_messages;
};

}  // namespace

TEST_F(Mp3PlayerTest, PlaysEveryRateMonoAndStereoSampleExactFromAnySeekPoint)
{
    const Format formats[] = {{8000, 1, 16}, {8000, 2, 24}, {11025, 1, 32}, {11025, 2, 32},
                              {22050, 1, 48}, {22050, 2, 64}, {44100, 1, 96}, {44100, 2, 128}};
    for (const Format& f : formats) {
        for (float seekTo : {0.0f, 0.37f}) {
            SCOPED_TRACE(testing::Message() << f.rate << " Hz, " << f.channels << " ch, from " << seekTo);
            DiskOutput out;
            const std::string path = out.Write("f.mp3", Recordings(f.rate, f.channels, f.kbps, {0.5, 0.4}));
            const auto whole = ReferenceDecode(path);
            {
                CMp3Player player(ConfiguredTrack(path));
                TrackInfo track = ConfiguredTrack(path);
                ASSERT_TRUE(player.Load(track));
                EXPECT_EQ(track.sampleRate, f.rate);
                EXPECT_EQ(track.channels, f.channels);
                EXPECT_EQ(track.bitrate, f.kbps * 1000);
                EXPECT_EQ(track.bitsPerSample, 16);
                EXPECT_FLOAT_EQ(player.GetLength(), static_cast<float>(static_cast<double>(whole.size() / f.channels) / f.rate));
                player.Seek(seekTo);
                ASSERT_TRUE(PlayToEnd(player));
            }
            const auto played = WithoutZeros(out.Played());
            const auto expected = ExpectedFrom(whole, FrameOf(seekTo, f.rate), f.channels);
            ASSERT_EQ(played.size(), expected.size());
            EXPECT_TRUE(played == expected);
        }
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(Mp3PlayerTest, SeekWhilePlayingPlaysNothingStaleAndLandsExactly)
{
    const std::string path = m_out.Write("s.mp3", Recordings(44100, 2, 128, {1.5, 1.5}));
    const auto whole = ReferenceDecode(path);
    const float target = 2.25f;
    {
        CMp3Player player(ConfiguredTrack(path));
        TrackInfo track = ConfiguredTrack(path);
        ASSERT_TRUE(player.Load(track));
        player.Play();
        ASSERT_TRUE(WaitFor([&] { return player.GetPosition() > 0.4f; }));
        player.Seek(target);
        // The position reads the target at once, then moves on from there.
        EXPECT_GE(player.GetPosition(), target);
        EXPECT_LT(player.GetPosition(), target + 0.3f);
        EXPECT_TRUE(player.IsPlaying());
        ASSERT_TRUE(WaitFor([&] { return player.GetPosition() >= player.GetLength(); }));
    }
    const auto played = WithoutZeros(m_out.Played());
    const auto tail = ExpectedFrom(whole, FrameOf(target, 44100), 2);
    const auto all = WithoutZeros(whole);
    ASSERT_GT(played.size(), tail.size());
    // What was played is a stretch from the start, then exactly everything from the target.
    const std::size_t head = played.size() - tail.size();
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), played.begin() + static_cast<std::ptrdiff_t>(head)));
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + static_cast<std::ptrdiff_t>(head), all.begin()));
    EXPECT_GT(head, all.size() / 10);
}

TEST_F(Mp3PlayerTest, PauseHoldsThePositionAndPlayContinuesFromIt)
{
    const std::string path = m_out.Write("p.mp3", Recordings(22050, 2, 64, {1.0, 1.0}));
    const auto whole = ReferenceDecode(path);
    {
        CMp3Player player(ConfiguredTrack(path));
        TrackInfo track = ConfiguredTrack(path);
        ASSERT_TRUE(player.Load(track));
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_EQ(player.GetPosition(), 0.0f);
        player.Play();
        EXPECT_TRUE(player.IsPlaying());
        ASSERT_TRUE(WaitFor([&] { return player.GetPosition() > 0.5f; }));
        const float before = player.GetPosition();
        player.Pause();
        EXPECT_FALSE(player.IsPlaying());
        const float paused = player.GetPosition();
        EXPECT_GE(paused, before);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(player.GetPosition(), paused);
        player.Pause();  // harmless when paused
        ASSERT_TRUE(PlayToEnd(player));
        // At the end the position rests at the length while the output stays routed.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(player.GetPosition(), player.GetLength());
        EXPECT_TRUE(player.IsPlaying());
    }
    // The pause only put silence in between.
    EXPECT_TRUE(WithoutZeros(m_out.Played()) == WithoutZeros(whole));
}

TEST_F(Mp3PlayerTest, PositionAdvancesWithWhatWasHeard)
{
    const std::string path = m_out.Write("a.mp3", Recordings(11025, 1, 32, {3.0}));
    CMp3Player player(ConfiguredTrack(path));
    TrackInfo track = ConfiguredTrack(path);
    ASSERT_TRUE(player.Load(track));
    player.Play();
    float last = player.GetPosition();
    int moves = 0;
    while (player.GetPosition() < player.GetLength()) {
        const float now = player.GetPosition();
        ASSERT_GE(now, last);
        moves += now > last;
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GT(moves, 5);
}

TEST_F(Mp3PlayerTest, StartSecondsPositionsTheLoadedFile)
{
    const std::string path = m_out.Write("r.mp3", Recordings(44100, 1, 64, {1.2, 0.9}));
    const auto whole = ReferenceDecode(path);
    {
        CMp3Player player(ConfiguredTrack(path, 1));
        TrackInfo track = ConfiguredTrack(path, 1);
        ASSERT_TRUE(player.Load(track));
        EXPECT_EQ(player.GetPosition(), 1.0f);
        ASSERT_TRUE(PlayToEnd(player));
    }
    EXPECT_TRUE(WithoutZeros(m_out.Played()) == ExpectedFrom(whole, 44100, 1));
}

TEST_F(Mp3PlayerTest, SeekCommandsClampToTheFile)
{
    const std::string path = m_out.Write("c.mp3", Recordings(8000, 1, 16, {2.0}));
    CMp3Player player(ConfiguredTrack(path));
    TrackInfo track = ConfiguredTrack(path);
    ASSERT_TRUE(player.Load(track));
    const float length = player.GetLength();
    player.SeekEnd();
    EXPECT_EQ(player.GetPosition(), length);
    player.Seek(1.5f);
    EXPECT_EQ(player.GetPosition(), 1.5f);
    player.Seek(-3.0f);
    EXPECT_EQ(player.GetPosition(), 0.0f);
    player.Seek(length + 10.0f);
    EXPECT_EQ(player.GetPosition(), length);
    player.SeekStart();
    EXPECT_EQ(player.GetPosition(), 0.0f);
    // Playing from the end reaches the end at once and stays there.
    player.SeekEnd();
    player.Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(player.GetPosition(), length);
}

TEST_F(Mp3PlayerTest, LengthIsExactForAppendedRecordingsAndAStaleInfoFrame)
{
    const std::string appended = m_out.Write("app.mp3", Recordings(22050, 1, 32, {1.0, 2.0, 0.3}));
    const std::string stale = m_out.Write(
        "stale.mp3", EncodeMp3({44100, 2, 128, 1.0, 0, true}) + EncodeMp3({44100, 2, 128, 2.0, 1, false}));
    for (const auto& [path, rate, channels] : {std::tuple{appended, 22050, 1}, std::tuple{stale, 44100, 2}}) {
        SCOPED_TRACE(path);
        CMp3Player player(ConfiguredTrack(path));
        TrackInfo track = ConfiguredTrack(path);
        ASSERT_TRUE(player.Load(track));
        const auto frames = static_cast<double>(ReferenceDecode(path).size() / static_cast<std::size_t>(channels));
        EXPECT_EQ(player.GetLength(), static_cast<float>(frames / rate));
    }
    // The stale Info frame tells of the first second only.
    EXPECT_LT(TrustingLength(stale), 44100 * 3 / 2);
}

TEST_F(Mp3PlayerTest, EmptyFileLoadsWithoutDecoderAndKeepsTheConfiguredFormat)
{
    const std::string path = m_out.Write("empty.mp3", "");
    CMp3Player player(ConfiguredTrack(path));
    TrackInfo track = ConfiguredTrack(path);
    ASSERT_TRUE(player.Load(track));
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(track.sampleRate, 32000);
    EXPECT_EQ(track.bitrate, 96000);
    EXPECT_EQ(track.channels, 2);
    EXPECT_EQ(player.GetLength(), 0.0f);
    EXPECT_EQ(player.GetPosition(), 0.0f);
    player.Play();
    EXPECT_FALSE(player.IsPlaying());
    // Nothing can play, so no output device was opened: the disk driver made no file.
    EXPECT_FALSE(player.HasOutput());
    EXPECT_FALSE(m_out.DeviceFileExists());
    player.SeekEnd();
    player.Seek(3.0f);
    EXPECT_EQ(player.GetPosition(), 0.0f);

    // A record without any format still loads an empty file.
    TrackInfo blank;
    blank.path = path;
    CMp3Player second(blank);
    EXPECT_TRUE(second.Load(blank));
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(Mp3PlayerTest, AwkwardFilesPlayAllTheirDecodableAudio)
{
    const std::string a = EncodeMp3({22050, 2, 64, 0.6, 1, false});
    const std::string b = EncodeMp3({22050, 2, 64, 0.6, 2, false});
    std::string id3v2 = std::string("ID3\x03\x00\x00\x00\x00\x01\x00", 10) + std::string(128, '\0');
    std::string junk(3000, 'j');
    // Each file and what it plays like: the junk between recordings is cut out, so they join
    // as if appended directly (libmpg123 itself would restart its decoder after the junk).
    const std::pair<std::string, std::string> files[] = {
        {id3v2 + a + b + std::string("APETAGEX") + std::string(24, '\0') + "TAG" + std::string(125, 't'), ""},
        {a + junk + b + junk, a + b},
        {(a + b).substr(0, a.size() + b.size() - 150), ""},
    };
    int which = 0;
    for (const auto& [bytes, playsLike] : files) {
        SCOPED_TRACE(which++);
        DiskOutput out;
        const std::string path = out.Write("odd.mp3", bytes);
        const auto whole = ReferenceDecode(playsLike.empty() ? path : out.Write("like.mp3", playsLike));
        {
            CMp3Player player(ConfiguredTrack(path));
            TrackInfo track = ConfiguredTrack(path);
            ASSERT_TRUE(player.Load(track));
            EXPECT_EQ(player.GetLength(), static_cast<float>(static_cast<double>(whole.size() / 2) / 22050));
            ASSERT_TRUE(PlayToEnd(player));
        }
        EXPECT_TRUE(WithoutZeros(out.Played()) == WithoutZeros(whole));
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(Mp3PlayerTest, DestroyingAPlayingPlayerStopsCleanly)
{
    const std::string path = m_out.Write("d.mp3", Recordings(44100, 2, 128, {2.0}));
    for (int i = 0; i < 3; ++i) {
        CMp3Player player(ConfiguredTrack(path));
        TrackInfo track = ConfiguredTrack(path);
        ASSERT_TRUE(player.Load(track));
        player.Play();
        player.Seek(1.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A player that never loaded does nothing.
    CMp3Player idle(ConfiguredTrack(path));
    idle.Play();
    idle.Pause();
    idle.SeekEnd();
    EXPECT_FALSE(idle.IsPlaying());
    EXPECT_EQ(idle.GetLength(), 0.0f);
}

TEST_F(Mp3PlayerTest, OutputOpensAtTheFirstPlayAndASwitchPlaysNothingOfThePreviousFile)
{
    // Two files of different tones; the first is left while it plays, as Open or New do.
    auto first = std::make_unique<DiskOutput>();
    const std::string a = first->Write("a.mp3", Recordings(44100, 2, 128, {3.0}));
    const std::string b = first->Write("b.mp3", EncodeMp3({44100, 2, 128, 0.8, 3, false}));
    platform::SdlAudio::Get().WaitForClosed();  // earlier tests' devices
    const int devicesBefore = platform::SdlAudio::Get().OpenDevices();
    {
        CMp3Player player(ConfiguredTrack(a));
        TrackInfo track = ConfiguredTrack(a);
        ASSERT_TRUE(player.Load(track));
        // Loading alone opens nothing.
        EXPECT_FALSE(player.HasOutput());
        EXPECT_FALSE(first->DeviceFileExists());
        ASSERT_TRUE(player.Play());
        EXPECT_TRUE(player.HasOutput());
        EXPECT_EQ(platform::SdlAudio::Get().OpenDevices(), devicesBefore + 1);
        ASSERT_TRUE(WaitFor([&] { return player.GetPosition() > 0.3f; }));
    }
    // The new file plays into an output of its own.
    DiskOutput second;
    {
        CMp3Player player(ConfiguredTrack(b));
        TrackInfo track = ConfiguredTrack(b);
        ASSERT_TRUE(player.Load(track));
        ASSERT_TRUE(PlayToEnd(player));
    }
    EXPECT_TRUE(WithoutZeros(second.Played()) == WithoutZeros(ReferenceDecode(b)));
    // The first output holds the start of the first file and nothing after it.
    const auto played = WithoutZeros(first->Played());
    const auto whole = WithoutZeros(ReferenceDecode(a));
    ASSERT_GT(played.size(), 0u);
    ASSERT_LT(played.size(), whole.size());
    EXPECT_TRUE(std::equal(played.begin(), played.end(), whole.begin()));
    // Every device is closed once the background closes are done.
    platform::SdlAudio::Get().WaitForClosed();
    EXPECT_EQ(platform::SdlAudio::Get().OpenDevices(), devicesBefore);
    EXPECT_TRUE(m_messages.Messages().empty());
}
