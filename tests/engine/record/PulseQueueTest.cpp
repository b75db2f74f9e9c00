// Recordings at every sampling rate through a real PulseAudio server (scripts/with-pulse) with
// its microphone fed at real-time pace: the capture queue takes whatever the server delivers,
// the burst at the start included, so no input is dropped and every second comes out whole.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/record/WaveRecorder.h"
#include "support/MessageCapture.h"
#include "support/PulseServer.h"
#include "support/TempDir.h"

using testing_support::MicFeeder;
using testing_support::PulseServer;

TEST(PulseCaptureQueue, NoInputIsDroppedAtAnyRateFromTheFirstBufferOn)
{
    if (!PulseServer::Available())
        GTEST_SKIP() << "runs inside scripts/with-pulse";
    ASSERT_TRUE(PulseServer::Start());
    MicFeeder mic(440.0, 8000);
    testing_support::TempDir dir;
    testing_support::MessageCapture messages;
    struct Format {
        int bitrate, rate, channels;
    };
    for (const Format& f : {Format{16000, 8000, 1}, Format{32000, 11025, 1}, Format{64000, 22050, 2},
                            Format{256000, 44100, 2}}) {
        SCOPED_TRACE(testing::Message() << f.rate << " Hz, " << f.channels << " ch");
        const std::string path = dir.File("rec-" + std::to_string(f.rate) + ".mp3");
        testing_support::WriteWholeFile(path, "");
        TrackInfo track;
        track.path = path;
        track.bitrate = f.bitrate;
        track.sampleRate = f.rate;
        track.bitsPerSample = 16;
        track.channels = f.channels;
        CWaveRecorder recorder;
        ASSERT_TRUE(recorder.Prepare(track));
        ASSERT_TRUE(recorder.Start());
        const auto started = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(recorder.Overruns(), 0u) << "input dropped at the start";
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(recorder.Overruns(), 0u) << "input dropped during the recording";
        // What came in is the time that passed, less what the server still held back.
        const double chunkSeconds = static_cast<double>(recorder.SampleCount()) / f.channels / f.rate;
        EXPECT_GE(static_cast<double>(recorder.ChunksEncoded()) * chunkSeconds, seconds - 0.5);
        EXPECT_TRUE(recorder.Stop());
        EXPECT_EQ(recorder.Overruns(), 0u);
    }
    EXPECT_TRUE(messages.Messages().empty());
}
