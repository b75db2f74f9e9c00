// The position is what the output says was heard, not what it took: a fake output (the
// SoundOutput seam) takes sound as a device would and tells how far it was heard. What was
// taken but not heard when playing stops is played again from the heard place.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/play/PlaybackStream.h"
#include "engine/play/PlayerTestSupport.h"
#include "engine/play/SoundOutput.h"

using namespace play_test;

namespace {

// Takes sound only when the test pulls it; heard is set by the test.
class FakeOutput : public play::SoundOutput {
public:
    bool Play(play::PlaybackStream& stream) override
    {
        m_stream = &stream;
        return true;
    }
    Progress Poll() override { return m_stream ? Progress::Playing : Progress::Failed; }
    void Stop() override
    {
        if (m_stream)
            m_stream->OutputStopped(heard);
        m_stream = nullptr;
    }
    bool Playing() const override { return m_stream != nullptr; }
    std::int64_t HeardIndex() const override { return heard; }
    bool Lost() const override { return false; }

    // The device takes frames, on its timeline after what it took before.
    std::vector<std::int16_t> Take(std::size_t frames)
    {
        std::vector<std::int16_t> out(frames * 2);
        m_stream->Pull(out.data(), frames, taken);
        taken += static_cast<std::int64_t>(frames);
        return out;
    }

    std::int64_t taken = 100000;  // a device's timeline does not begin at the file's start
    std::int64_t heard = -1;

private:
    play::PlaybackStream* m_stream = nullptr;
};

class FakeOutputPlayer : public CMp3Player {
public:
    using CMp3Player::CMp3Player;
    FakeOutput* output = nullptr;

protected:
    std::unique_ptr<play::SoundOutput> MakeOutput() override
    {
        auto made = std::make_unique<FakeOutput>();
        output = made.get();
        return made;
    }
};

}  // namespace

TEST(HeardPosition, FollowsWhatWasHeardAndPlaysTheUnheardAgain)
{
    DiskOutput files;
    const std::string path = files.Write("tone.mp3", EncodeMp3({44100, 2, 128, 2.0, 1, false}));
    FakeOutputPlayer player(ConfiguredTrack(path));
    TrackInfo track = ConfiguredTrack(path);
    ASSERT_TRUE(player.Load(track));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // decoded ahead
    ASSERT_TRUE(player.Play());
    ASSERT_NE(player.output, nullptr);
    FakeOutput& output = *player.output;

    const std::int64_t start = output.taken;
    const auto first = output.Take(22050);  // half a second taken
    EXPECT_EQ(player.GetPosition(), 0.0f) << "nothing heard yet";
    output.heard = start + 11025;
    EXPECT_FLOAT_EQ(player.GetPosition(), 0.25f);

    // Stopped with a quarter of a second taken but not heard: it stays at the heard place and
    // is played again from there.
    player.Pause();
    EXPECT_FLOAT_EQ(player.GetPosition(), 0.25f);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // decoded again from there
    ASSERT_TRUE(player.Play());
    output.heard = output.taken;
    const auto again = output.Take(11025);
    EXPECT_TRUE(std::equal(again.begin(), again.end(), first.begin() + 11025 * 2)) << "not the unheard quarter";
    output.heard = output.taken - 4410;
    EXPECT_FLOAT_EQ(player.GetPosition(), 0.4f);
}
