// The program's streams on a real sound server (scripts/with-pulse, scripts/with-pipewire):
// input the server drops while the program does not read (its connection frozen, its loop's
// lock held, as when the whole program is stopped) while the microphone hands over a counter,
// so every frame that went missing between the server and the program shows in what came; and
// streams closed while the server was still making them.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/record/linux/DefaultAudioInput.h"
#include "platform/pulse/PulseCapture.h"
#include "platform/pulse/PulsePlayback.h"
#include "platform/pulse/PulseServer.h"
#include "platform/SoundServer.h"
#include "support/PollUntil.h"
#include "support/PulseServer.h"

using testing_support::MicFeeder;
using testing_support::PollUntil;

namespace {

constexpr int kRate = 44100;

WaveFormat Stereo()
{
    WaveFormat format;
    format.formatTag = kWaveFormatPcm;
    format.channels = 2;
    format.samplesPerSec = kRate;
    format.blockAlign = 4;
    format.avgBytesPerSec = kRate * 4;
    format.bitsPerSample = 16;
    return format;
}

// Keeps every delivered frame (memory allocated up front: the sink only copies).
struct Delivered {
    std::vector<std::int16_t> samples = std::vector<std::int16_t>(std::size_t{kRate} * 2 * 60);
    std::atomic<std::size_t> count{0};
    void Take(const std::uint8_t* data, std::size_t bytes)
    {
        const std::size_t n = std::min(bytes / 2, samples.size() - count.load());
        std::memcpy(samples.data() + count.load(), data, n * 2);
        count.fetch_add(n);
    }
    std::size_t Frames() const { return count.load() / 2; }
};

// Which of the program's own streams the server has, as pactl lists them.
bool ServerHasStreamsOfOurs()
{
    using testing_support::PulseServer;
    return (PulseServer::Pactl("list source-outputs") + PulseServer::Pactl("list sink-inputs")).find("Dravellin") !=
           std::string::npos;
}

// Neither the program's loop nor its owner runs meanwhile, as in a stopped program.
void Freeze(std::chrono::seconds length)
{
    platform::PulseServer::Lock lock;
    std::this_thread::sleep_for(length);
}

// The input is not taken for lost once the program goes on: for a while it is asked as the
// recorder does, ten times a second.
bool StaysFound(CDefaultAudioInput& input, double seconds)
{
    return !PollUntil([&] { return input.Lost(); }, seconds, std::chrono::milliseconds(100));
}

}  // namespace

TEST(PulseStreams, InputDroppedWhileTheProgramStallsIsReportedWithItsLengthAndPlace)
{
    if (!testing_support::PulseServer::Available())
        GTEST_SKIP() << "runs inside scripts/with-pulse";
    ASSERT_TRUE(testing_support::PulseServer::Start());
    MicFeeder mic{MicFeeder::Counter{}};
    Delivered delivered;
    CDefaultAudioInput input;
    ASSERT_TRUE(input.Open(Stereo(), 1152,
                           [&](const std::uint8_t* data, std::size_t bytes) { delivered.Take(data, bytes); }));
    ASSERT_TRUE(PollUntil([&] { return input.Progress() != IAudioInputDevice::OpenProgress::Opening; }, 10));
    ASSERT_EQ(input.Progress(), IAudioInputDevice::OpenProgress::Open);
    ASSERT_TRUE(input.ThroughServer());
    ASSERT_TRUE(input.Start());
    ASSERT_TRUE(PollUntil([&] { return delivered.Frames() > std::size_t{kRate}; }, 10));

    // Within the stream's buffer: nothing is lost, and nothing is reported.
    Freeze(std::chrono::seconds(3));
    EXPECT_TRUE(StaysFound(input, 1.5));
    EXPECT_TRUE(input.Drops().empty());
    // Well past it.
    const std::size_t beforeLongStall = delivered.Frames();
    Freeze(platform::PulseCapture::kBufferLength + std::chrono::seconds(5));
    EXPECT_TRUE(StaysFound(input, 2.0));
    std::chrono::microseconds latency{};
    EXPECT_TRUE(input.Latency(latency));
    EXPECT_GE(latency, std::chrono::microseconds(0));
    EXPECT_LT(latency, std::chrono::seconds(1));
    input.Close();

    // What is missing: every forward jump of the counter, where it lies in what came (frames a
    // server made up, silence, are passed over).
    std::vector<InputDrop> missing;
    std::uint32_t last = MicFeeder::CounterAt(&delivered.samples[0]);
    for (std::size_t f = 1; f < delivered.Frames(); ++f) {
        const std::uint32_t counter = MicFeeder::CounterAt(&delivered.samples[f * 2]);
        if (counter <= last)
            continue;
        if (counter != last + 1)
            missing.push_back(InputDrop{f, counter - last - 1});
        last = counter;
    }
    const std::vector<InputDrop> reported = input.Drops();
    ASSERT_FALSE(missing.empty()) << "the stall did not make the server drop input";
    ASSERT_FALSE(reported.empty()) << "the server dropped input and it went unreported";
    // A server under load may lose a cycle of its own now and then, which no client is told
    // of: that much is allowed before the long stall, and in the sums.
    std::uint64_t lostEarly = 0;
    std::uint64_t missingFrames = 0;
    std::uint64_t reportedFrames = 0;
    const auto byLength = [](const InputDrop& a, const InputDrop& b) { return a.frames < b.frames; };
    for (const InputDrop& gap : missing)
        (gap.atFrame < beforeLongStall ? lostEarly : missingFrames) += gap.frames;
    for (const InputDrop& drop : reported) {
        EXPECT_GE(drop.atFrame, beforeLongStall) << "a drop reported where the buffer held the input";
        reportedFrames += drop.frames;
    }
    EXPECT_LT(lostEarly, kRate / 2u) << "the stall within the buffer lost input";
    EXPECT_NEAR(static_cast<double>(reportedFrames), static_cast<double>(missingFrames), kRate * 0.5);
    // Where: the longest drop reported lies where the most went missing.
    EXPECT_NEAR(static_cast<double>(std::max_element(reported.begin(), reported.end(), byLength)->atFrame),
                static_cast<double>(std::max_element(missing.begin(), missing.end(), byLength)->atFrame), kRate * 0.5);
}

// Space during a pending start: a stream closed while the server was still making it is ended
// once the server has made it, instead of staying open there until the connection ends.
TEST(PulseStreams, AStreamClosedWhileTheServerMakesItIsEndedOnceMade)
{
    if (!testing_support::PulseServer::Available())
        GTEST_SKIP() << "runs inside scripts/with-pulse";
    ASSERT_TRUE(testing_support::PulseServer::Start());
    ASSERT_TRUE(platform::SoundServer::Wanted());
    platform::SoundServer::Connect();
    ASSERT_TRUE(PollUntil([] { return platform::SoundServer::Poll() == platform::SoundServer::State::Ready; }, 5));
    {
        testing_support::Thaw thaw;
        ASSERT_TRUE(testing_support::PulseServer::Freeze(true));
        platform::PulseCapture capture;
        platform::PulsePlayback playback;
        ASSERT_TRUE(capture.Begin(kRate, 2, "", [](const std::uint8_t*, std::size_t) {}));
        ASSERT_TRUE(playback.Begin(kRate, 2, [](std::int16_t* out, std::size_t frames, std::int64_t) {
            std::fill(out, out + frames * 2, std::int16_t{0});
        }));
        EXPECT_EQ(capture.Poll(), platform::PulseStream::Progress::Opening);
        EXPECT_EQ(playback.Poll(), platform::PulseStream::Progress::Opening);
        capture.Close();
        playback.Close();
    }
    // A stream asked for after them on the same connection is made after them: once it is
    // there, the server has made the closed ones too.
    platform::PulseCapture later;
    ASSERT_TRUE(later.Begin(kRate, 2, "", [](const std::uint8_t*, std::size_t) {}));
    ASSERT_TRUE(PollUntil([&] { return later.Poll() == platform::PulseStream::Progress::Ready; }, 5));
    later.Close();
    EXPECT_TRUE(PollUntil([] { return !ServerHasStreamsOfOurs(); }, 5)) << testing_support::PulseServer::Pactl("list source-outputs");
}

// The test microphone is a pipe its feeder writes 10 ms at a time: each of the server's timing
// answers tells what waits in the pipe then (nothing, or one write), and while the stream opens,
// what piled up before it (hundreds of milliseconds). The latency the input tells, read every
// few milliseconds from its start, is none of those: it is soon known, and stays under a write.
TEST(PulseStreams, AnInputsLatencyIsNeitherItsBacklogNorAWriteWaitingInItsPipe)
{
    if (!testing_support::PulseServer::Available())
        GTEST_SKIP() << "runs inside scripts/with-pulse";
    ASSERT_TRUE(testing_support::PulseServer::Start());
    MicFeeder mic{MicFeeder::Counter{}};
    CDefaultAudioInput input;
    ASSERT_TRUE(input.Open(Stereo(), 1152, [](const std::uint8_t*, std::size_t) {}));
    ASSERT_TRUE(PollUntil([&] { return input.Progress() != IAudioInputDevice::OpenProgress::Opening; }, 10));
    ASSERT_EQ(input.Progress(), IAudioInputDevice::OpenProgress::Open);
    ASSERT_TRUE(input.Start());
    int told = 0;
    std::chrono::microseconds most{0};
    for (int i = 0; i < 2000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::chrono::microseconds latency{};
        if (input.Latency(latency)) {
            ++told;
            most = std::max(most, latency);
        }
    }
    EXPECT_GE(told, 1600) << "the latency was not known within two seconds";
    EXPECT_LT(most, std::chrono::milliseconds(5));
    input.Close();
}
