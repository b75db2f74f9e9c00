// Recordings through a real PulseAudio server (scripts/with-pulse): its microphone is fed a
// known tone at real-time pace, the recording is decoded by the mpg123 program and must hold
// the tone without gaps; a missing server and a server killed while recording are met as a
// user would meet them.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "engine/record/Mp3TestFiles.h"
#include "engine/record/WaveRecorder.h"
#include "support/MessageCapture.h"
#include "support/PulseServer.h"
#include "support/ToneLevel.h"
#include "support/TempDir.h"
#include "support/PollUntil.h"

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

// Amplitude of a frequency in a window of one channel, in sample units.
double Amplitude(const std::vector<std::int16_t>& pcm, int channels, std::size_t from, std::size_t frames,
                 int rate, double hz)
{
    return testing_support::ToneLevel(pcm, channels, rate, hz, from, frames);
}

double ToneAmplitude(const std::vector<std::int16_t>& pcm, int channels, std::size_t from,
                     std::size_t frames, int rate)
{
    return Amplitude(pcm, channels, from, frames, rate, kToneHz);
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

using testing_support::PollUntil;

class PulseRecording : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PulseServer::Available())
            GTEST_SKIP() << "runs inside scripts/with-pulse";
        ASSERT_TRUE(PulseServer::Start());
    }

    // Records about `seconds` of the microphone into path with a fresh recorder.
    std::uint64_t Record(const std::string& path, double seconds, int channels = 2)
    {
        CWaveRecorder recorder;
        TrackInfo track = Track(path);
        track.channels = channels;
        EXPECT_TRUE(recorder.Prepare(track));
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
    ASSERT_TRUE(mic.WaitUntilFlowing());
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
    ASSERT_TRUE(mic.WaitUntilFlowing());
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
    ASSERT_TRUE(mic.WaitUntilFlowing());
    EXPECT_GE(Record(path, 1.5), 8u);
    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_EQ(channels, 2);
    EXPECT_GE(pcm.size() / 2, 44100u);
    EXPECT_EQ(WindowsWithoutTone(pcm, channels, rate), 0);
}

// The server dies while recording: the recorder says the input is lost soon after (instead of
// recording on while nothing arrives), what came before stays written in whole frames and holds
// only the fed tone (no silence made up after the loss), and once the server is back the next
// recording appends to the same file.
TEST_F(PulseRecording, AServerKilledWhileRecordingIsSeenAndTheNextRecordingAppends)
{
    MicFeeder mic(kToneHz, kToneAmplitude);
    ASSERT_TRUE(mic.WaitUntilFlowing());
    const std::string path = m_dir.File("lost.mp3");
    testing_support::WriteWholeFile(path, "");
    std::uint64_t chunks = 0;
    {
        CWaveRecorder recorder;
        ASSERT_TRUE(recorder.Prepare(Track(path)));
        ASSERT_TRUE(recorder.Start());
        ASSERT_TRUE(PollUntil([&] { return recorder.ChunksEncoded() >= 40; }, 20));
        EXPECT_FALSE(recorder.FollowInput());
        ASSERT_TRUE(PulseServer::Kill());
        EXPECT_TRUE(PollUntil([&] { return recorder.FollowInput(); }, 5)) << "the loss went unnoticed";
        const std::uint64_t atLoss = recorder.ChunksEncoded();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_EQ(recorder.ChunksEncoded(), atLoss) << "recording went on after the loss";
        EXPECT_TRUE(recorder.Stop());
        chunks = recorder.ChunksEncoded();
        EXPECT_FALSE(recorder.WriteFailed());
    }
    const std::string first = testing_support::ReadWholeFile(path);
    const auto walk = record_test::WalkFrames(first);
    EXPECT_TRUE(walk.wholeFrames);
    int channels = 0;
    int rate = 0;
    auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_EQ(channels, 2);
    // Everything encoded is in the file, less the encoder's look-ahead.
    EXPECT_GE(pcm.size() / 2 + 1152 * 2, chunks * 1152);
    EXPECT_EQ(WindowsWithoutTone(pcm, channels, rate), 0);

    ASSERT_TRUE(PulseServer::Start());
    ASSERT_TRUE(mic.WaitUntilFlowing());
    EXPECT_GE(Record(path, 1.5), 8u);
    const std::string both = testing_support::ReadWholeFile(path);
    ASSERT_GT(both.size(), first.size());
    EXPECT_EQ(both.compare(0, first.size(), first), 0);
    EXPECT_TRUE(record_test::WalkFrames(both).wholeFrames);
    pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    const std::vector<std::int16_t> second(pcm.begin() + static_cast<std::ptrdiff_t>(walk.frames) * 1152 * 2, pcm.end());
    EXPECT_GE(second.size() / 2, 44100u);
    EXPECT_EQ(WindowsWithoutTone(second, channels, rate), 0);
}

// A microphone that stops delivering without any error (the source stalls) counts as lost too.
TEST_F(PulseRecording, AnInputThatStopsDeliveringIsLost)
{
    MicFeeder mic(kToneHz, kToneAmplitude);
    ASSERT_TRUE(mic.WaitUntilFlowing());
    const std::string path = m_dir.File("stall.mp3");
    testing_support::WriteWholeFile(path, "");
    CWaveRecorder recorder;
    ASSERT_TRUE(recorder.Prepare(Track(path)));
    ASSERT_TRUE(recorder.Start());
    ASSERT_TRUE(PollUntil([&] { return recorder.ChunksEncoded() >= 20; }, 20));
    EXPECT_FALSE(recorder.FollowInput());
    mic.Hold(true);
    EXPECT_TRUE(PollUntil([&] { return recorder.FollowInput(); }, 10));
    EXPECT_TRUE(recorder.Stop());
}

// A microphone that hands over two seconds at a time (PulseAudio's sine source) leaves the
// recording without news for longer than a stalled one would, yet nothing is missing: the
// recording is not taken for lost, no input is dropped, and the file holds the tone throughout.
TEST_F(PulseRecording, AMicrophoneThatDeliversSecondsAtATimeIsNeitherLostNorCut)
{
    const std::string source = PulseServer::AddSlowMicrophone();
    ASSERT_FALSE(source.empty());
    testing_support::ScopedEnv pick("PULSE_SOURCE", source);
    const std::string path = m_dir.File("slow.mp3");
    testing_support::WriteWholeFile(path, "");
    CWaveRecorder recorder;
    ASSERT_TRUE(recorder.Prepare(Track(path)));
    ASSERT_TRUE(recorder.Start());
    EXPECT_FALSE(PollUntil([&] { return recorder.FollowInput(); }, 7)) << "a slow microphone was taken for lost";
    EXPECT_EQ(recorder.Overruns(), 0u);
    EXPECT_TRUE(recorder.Stop());
    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_EQ(channels, 2);
    const std::size_t frames = pcm.size() / 2;
    EXPECT_GE(frames, static_cast<std::size_t>(4 * rate));
    // The sine source's own level, whatever it is, in every tenth of a second: no silent gaps.
    const std::size_t window = static_cast<std::size_t>(rate) / 10;
    for (std::size_t at = 2048; at + window <= frames; at += window)
        ASSERT_GT(ToneAmplitude(pcm, channels, at, window, rate), 1000.0) << "at frame " << at;
}

// A loud stereo microphone (both channels alike, a tone at -1 dBFS) recorded as mono keeps the
// tone's level, unclipped: the mono mix is the channels' average, whatever the server's own
// stereo-to-mono mix would do (PipeWire's adds 3 dB, which hard-clips a tone this loud).
TEST_F(PulseRecording, ALoudStereoSourceRecordedAsMonoIsNotClipped)
{
    const double amplitude = std::round(32768.0 * std::pow(10.0, -1.0 / 20.0));
    MicFeeder mic(kToneHz, static_cast<int>(amplitude));
    ASSERT_TRUE(mic.WaitUntilFlowing());
    const std::string path = m_dir.File("mono.mp3");
    testing_support::WriteWholeFile(path, "");
    Record(path, 3.0, 1);

    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_EQ(channels, 1);
    ASSERT_EQ(rate, 44100);
    // The level over one second (a whole number of the tone's periods) after the codec's
    // start-up, where the tone is strongest: on a loaded machine the tone may reach the
    // recording up to a second late.
    const std::size_t second = static_cast<std::size_t>(rate);
    ASSERT_GE(pcm.size(), second / 4 + second);
    double tone = 0;
    double third = 0;
    for (std::size_t from = second / 4; from + second <= pcm.size(); from += second / 10) {
        const double a = Amplitude(pcm, 1, from, second, rate, kToneHz);
        if (a > tone) {
            tone = a;
            third = Amplitude(pcm, 1, from, second, rate, 3 * kToneHz);
        }
    }
    EXPECT_NEAR(20.0 * std::log10(tone / amplitude), 0.0, 0.5) << "tone amplitude " << tone;
    EXPECT_LE(20.0 * std::log10(third / tone), -40.0) << "third harmonic " << third << ", tone " << tone;
}
