// Recordings through a real PulseAudio server (scripts/with-pulse): its microphone is fed a
// known tone at real-time pace, the recording is decoded by the mpg123 program and must hold
// the tone without gaps; a missing server and a server killed while recording are met as a
// user would meet them.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "engine/record/WaveRecorder.h"
#include "support/MessageCapture.h"
#include "support/PulseServer.h"
#include "support/TempDir.h"

using testing_support::MicFeeder;
using testing_support::PulseServer;
using testing_support::TempDir;

namespace {

constexpr double kToneHz = 440.0;
constexpr int kToneAmplitude = 8000;

TrackInfo Track(const std::string& path)
{
    TrackInfo track;
    track.path = path;
    track.bitrate = 128000;
    track.sampleRate = 44100;
    track.bitsPerSample = 16;
    track.channels = 2;
    return track;
}

// Amplitude of the tone's frequency in a window of one channel (Goertzel), in sample units.
double ToneAmplitude(const std::vector<std::int16_t>& pcm, int channels, std::size_t from,
                     std::size_t frames, int rate)
{
    const double w = 2.0 * M_PI * kToneHz / rate;
    double s1 = 0, s2 = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double s0 = pcm[(from + i) * static_cast<std::size_t>(channels)] + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
    return 2.0 * std::sqrt(std::max(0.0, power)) / static_cast<double>(frames);
}

// Tenth-second windows of the decoded recording (after the codec's start-up) in which the tone
// is missing or weak: gaps, silence, or something else than what was fed.
int WindowsWithoutTone(const std::vector<std::int16_t>& pcm, int channels, int rate)
{
    const std::size_t window = static_cast<std::size_t>(rate) / 10;
    const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
    int bad = 0;
    for (std::size_t at = 2048; at + window <= frames; at += window) {
        const double a = ToneAmplitude(pcm, channels, at, window, rate);
        if (a < kToneAmplitude * 0.8 || a > kToneAmplitude * 1.2)
            ++bad;
    }
    return bad;
}

class PulseRecording : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PulseServer::Available())
            GTEST_SKIP() << "runs inside scripts/with-pulse";
        ASSERT_TRUE(PulseServer::Start());
    }

    // Records about `seconds` of the microphone into path with a fresh recorder.
    std::uint64_t Record(const std::string& path, double seconds)
    {
        CWaveRecorder recorder;
        EXPECT_TRUE(recorder.Prepare(Track(path)));
        if (!recorder.Start()) {
            ADD_FAILURE() << "the recording did not start";
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        EXPECT_EQ(recorder.Overruns(), 0u);
        EXPECT_TRUE(recorder.Stop());
        return recorder.ChunksEncoded();
    }

    TempDir m_dir;
    testing_support::MessageCapture m_messages;
};

}  // namespace

TEST_F(PulseRecording, TheRecordingHoldsTheFedSignalWithoutGaps)
{
    MicFeeder mic(kToneHz, kToneAmplitude);
    const std::string path = m_dir.File("rec.mp3");
    testing_support::WriteWholeFile(path, "");
    const std::uint64_t chunks = Record(path, 2.5);
    EXPECT_GE(chunks, 15u);

    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_EQ(channels, 2);
    ASSERT_EQ(rate, 44100);
    EXPECT_GE(pcm.size() / 2, 2u * 44100u);
    EXPECT_EQ(WindowsWithoutTone(pcm, channels, rate), 0);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(PulseRecording, WithoutAServerNothingStartsAndAfterItIsBackRecordingWorks)
{
    MicFeeder mic(kToneHz, kToneAmplitude);
    const std::string path = m_dir.File("later.mp3");
    testing_support::WriteWholeFile(path, "");
    ASSERT_TRUE(PulseServer::Kill());
    {
        CWaveRecorder recorder;
        ASSERT_TRUE(recorder.Prepare(Track(path)));
        EXPECT_FALSE(recorder.Start());
    }
    EXPECT_EQ(testing_support::ReadWholeFile(path), "");

    ASSERT_TRUE(PulseServer::Start());
    EXPECT_GE(Record(path, 1.5), 8u);
    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_EQ(channels, 2);
    EXPECT_GE(pcm.size() / 2, 44100u);
    EXPECT_EQ(WindowsWithoutTone(pcm, channels, rate), 0);
}
