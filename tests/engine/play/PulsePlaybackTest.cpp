// CMp3Player playing through a real sound server (scripts/with-pulse, scripts/with-pipewire;
// through SDL's driver, and through the program's own client): what reaches the speaker,
// recorded from its monitor, equals an independent decode of the file by the mpg123 program; a
// server that dies while playing ends the sound without hanging the player, keeping its place.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/play/PlayerTestSupport.h"
#include "support/MessageCapture.h"
#include "support/PulseServer.h"

using namespace play_test;
using testing_support::PulseServer;

namespace {

class PulsePlayback : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PulseServer::Available())
            GTEST_SKIP() << "runs inside scripts/with-pulse";
        ASSERT_TRUE(PulseServer::Start());
    }

    testing_support::TempDir m_dir;
    testing_support::MessageCapture m_messages;
};

}  // namespace

TEST_F(PulsePlayback, TheSpeakerGetsTheFilesDecode)
{
    const std::string path = m_dir.File("play.mp3");
    testing_support::WriteWholeFile(path, EncodeMp3({44100, 2, 128, 1.5, 1, false}));
    int channels = 0;
    int rate = 0;
    const auto decoded = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_EQ(channels, 2);
    ASSERT_EQ(rate, 44100);
    ASSERT_GT(decoded.size(), 44100u * 2);

    testing_support::SpeakerRecorder speaker(m_dir.File("speaker.raw"));
    {
        CMp3Player player(ConfiguredTrack(path));
        TrackInfo track = ConfiguredTrack(path);
        ASSERT_TRUE(player.Load(track));
        ASSERT_TRUE(PlayToEnd(player));
        // The last device buffer is still on its way to the speaker.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const auto heard = WithoutZeros(speaker.Finish());
    const auto expected = WithoutZeros(decoded);
    // Where the heard sound starts in the decode, and how much of it then matches.
    std::size_t start = 0;
    while (start + 64 <= expected.size() && !std::equal(heard.begin(), heard.begin() + 64, expected.begin() + start))
        ++start;
    std::size_t same = 0;
    while (same < heard.size() && start + same < expected.size() && heard[same] == expected[start + same])
        ++same;
    // The monitor may join a few milliseconds after the sink started playing; from there on
    // every sample must be the decode's, to its very end.
    EXPECT_LT(start, 2u * 44100 / 20) << "more than 50 ms missing at the start";
    EXPECT_EQ(same, heard.size());
    EXPECT_EQ(start + heard.size(), expected.size());
    EXPECT_TRUE(m_messages.Messages().empty());
}

// The server dies while playing: the player notices soon after, and pausing and destroying it
// return (no hang on the dead connection).
TEST_F(PulsePlayback, AServerKilledWhilePlayingIsSeenAndThePlayerStillCloses)
{
    const std::string path = m_dir.File("long.mp3");
    testing_support::WriteWholeFile(path, EncodeMp3({44100, 2, 128, 6.0, 2, false}));
    auto player = std::make_unique<CMp3Player>(ConfiguredTrack(path));
    TrackInfo track = ConfiguredTrack(path);
    ASSERT_TRUE(player->Load(track));
    player->Play();
    ASSERT_TRUE(WaitFor([&] { return player->GetPosition() > 0.5f; }, 20));
    EXPECT_FALSE(player->OutputLost());
    ASSERT_TRUE(PulseServer::Kill());
    EXPECT_TRUE(WaitFor([&] { return player->OutputLost(); }, 5)) << "the loss went unnoticed";
    // The place stays at what was heard before the loss, also once paused.
    EXPECT_GT(player->GetPosition(), 0.5f);
    EXPECT_LT(player->GetPosition(), player->GetLength());
    player->Pause();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_GT(player->GetPosition(), 0.5f);
    player.reset();

    // Once the server is back a new player plays again.
    ASSERT_TRUE(PulseServer::Start());
    CMp3Player again(ConfiguredTrack(path));
    track = ConfiguredTrack(path);
    ASSERT_TRUE(again.Load(track));
    again.Play();
    EXPECT_TRUE(WaitFor([&] { return again.GetPosition() > 0.3f; }, 20));
    EXPECT_FALSE(again.OutputLost());
}
