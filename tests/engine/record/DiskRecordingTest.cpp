// Recordings through SDL's file-backed audio driver: a known tone is read as the sound input,
// recorded in every format the settings allow, decoded and compared with the tone.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "engine/record/Mp3TestFiles.h"
#include "engine/record/WaveRecorder.h"
#include "support/MessageCapture.h"
#include "support/TempDir.h"

using testing_support::ReadWholeFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteWholeFile;

namespace {

struct Format {
    int kbps;
    int rate;
    int channels;
};

// Every bitrate step with every rate the settings let the user pick for it, mono and stereo.
std::vector<Format> AllowedFormats()
{
    std::vector<Format> formats;
    for (int kbps : {8, 16, 24, 32, 48, 64, 96, 128, 160, 192, 256}) {
        std::vector<int> rates;
        if (kbps < 32)
            rates = {8000, 11025};
        else if (kbps == 32)
            rates = {8000, 11025, 22050, 44100};
        else
            rates = {22050, 44100};
        for (int rate : rates)
            for (int channels : {1, 2})
                formats.push_back({kbps, rate, channels});
    }
    return formats;
}

std::string Name(const Format& f)
{
    return std::to_string(f.kbps) + " kbps " + std::to_string(f.rate) + " Hz " +
           (f.channels == 2 ? "stereo" : "mono");
}

// The encoder's own delay plus the decoder's: where input sample 0 lands in the decoded audio.
constexpr std::size_t kCodecDelay = 1105;

class DiskRecording : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("SDL_AUDIODRIVER") == nullptr)
            m_driver = std::make_unique<ScopedEnv>("SDL_AUDIODRIVER", "disk");
        else if (std::string(std::getenv("SDL_AUDIODRIVER")) != "disk")
            GTEST_SKIP() << "needs SDL's disk audio driver";
    }

    std::unique_ptr<ScopedEnv> m_driver;
};

}  // namespace

TEST_F(DiskRecording, EveryAllowedFormatRecordsTheTone)
{
    TempDir dir;
    for (const Format& f : AllowedFormats()) {
        SCOPED_TRACE(Name(f));
        // 2.5 s of tone as the input; about 1 s of it is recorded.
        const std::size_t inputFrames = static_cast<std::size_t>(f.rate) * 5 / 2;
        const auto tone = record_test::MakeTone(f.rate, f.channels, inputFrames);
        const std::string input = dir.File("in.raw");
        WriteWholeFile(input, std::string(reinterpret_cast<const char*>(tone.data()),
                                          tone.size() * sizeof(std::int16_t)));
        ScopedEnv in("SDL_DISKAUDIOFILEIN", input);
        ScopedEnv delay("SDL_DISKAUDIODELAY", "5");
        const std::string path = dir.File("rec.mp3");
        WriteWholeFile(path, "");

        testing_support::MessageCapture messages;
        WaveRecorderOptions options;
        options.stopWait = std::chrono::milliseconds(30);
        std::uint64_t chunks = 0;
        std::size_t chunkFrames = 0;
        {
            CWaveRecorder recorder(options);
            TrackInfo track;
            track.path = path;
            track.bitrate = f.kbps * 1000;
            track.sampleRate = f.rate;
            track.bitsPerSample = 16;
            track.channels = f.channels;
            ASSERT_TRUE(recorder.Prepare(track));
            ASSERT_TRUE(recorder.Start());
            chunkFrames = static_cast<std::size_t>(recorder.SampleCount() / f.channels);
            const std::uint64_t target = f.rate / chunkFrames + 1;
            for (int i = 0; i < 20000 && recorder.ChunksEncoded() < target; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            // Read before the stop: during the stop wait the buffers are no longer queued
            // again, so input arriving then finds none by design.
            EXPECT_EQ(recorder.Overruns(), 0u);
            EXPECT_TRUE(recorder.Stop());
            for (int i = 0; i < 5000 && !recorder.Written(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            chunks = recorder.ChunksEncoded();
            EXPECT_GE(chunks, target);
            EXPECT_FALSE(recorder.WriteFailed());
        }
        EXPECT_TRUE(messages.Messages().empty());
        const std::size_t encoded = chunks * chunkFrames;
        ASSERT_LT(encoded, inputFrames);

        const std::string bytes = ReadWholeFile(path);
        const auto walk = record_test::WalkFrames(bytes);
        EXPECT_TRUE(walk.wholeFrames);
        EXPECT_TRUE(walk.constantBitrate);
        EXPECT_EQ(walk.rate, f.rate);
        EXPECT_EQ(walk.mono, f.channels == 1);
        // MPEG-2 and 2.5 stop at 160 kbps; LAME writes the nearest bitrate it can.
        EXPECT_EQ(walk.bitrateKbps, f.rate < 32000 ? std::min(f.kbps, 160) : f.kbps);

        const auto decoded = record_test::DecodeMp3(path);
        ASSERT_TRUE(decoded.ok);
        ASSERT_EQ(decoded.rate, f.rate);
        ASSERT_EQ(decoded.channels, f.channels);
        // Without a flush the encoder keeps back its look-ahead: 224 samples plus at most one
        // frame.
        const std::size_t heldBack = encoded - std::min(encoded, decoded.Frames());
        EXPECT_LE(decoded.Frames(), encoded);
        EXPECT_GE(heldBack, 224u);
        EXPECT_LE(heldBack, 224u + chunkFrames);
        const std::size_t compared = decoded.Frames() - kCodecDelay;
        for (int c = 0; c < f.channels; ++c)
            EXPECT_GT(record_test::CorrelateWithTone(decoded, c, kCodecDelay, compared), 0.9)
                << "channel " << c;
    }
}

TEST_F(DiskRecording, RecordingTwiceAppendsToTheFile)
{
    TempDir dir;
    const auto tone = record_test::MakeTone(44100, 2, 44100 * 2);
    const std::string input = dir.File("in.raw");
    WriteWholeFile(input, std::string(reinterpret_cast<const char*>(tone.data()),
                                      tone.size() * sizeof(std::int16_t)));
    ScopedEnv in("SDL_DISKAUDIOFILEIN", input);
    ScopedEnv delay("SDL_DISKAUDIODELAY", "5");
    const std::string path = dir.File("twice.mp3");
    WriteWholeFile(path, "");
    WaveRecorderOptions options;
    options.stopWait = std::chrono::milliseconds(30);
    TrackInfo track;
    track.path = path;
    track.bitrate = 128000;
    track.sampleRate = 44100;
    track.bitsPerSample = 16;
    track.channels = 2;
    std::string first;
    std::uint64_t chunks[2] = {};
    for (int take = 0; take < 2; ++take) {
        {
            CWaveRecorder recorder(options);
            ASSERT_TRUE(recorder.Prepare(track));
            ASSERT_TRUE(recorder.Start());
            for (int i = 0; i < 20000 && recorder.ChunksEncoded() < 20; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            recorder.Stop();
            chunks[take] = recorder.ChunksEncoded();
        }
        if (take == 0)
            first = ReadWholeFile(path);
    }
    const std::string both = ReadWholeFile(path);
    ASSERT_FALSE(first.empty());
    ASSERT_GT(both.size(), first.size());
    EXPECT_EQ(both.compare(0, first.size(), first), 0);
    const auto walk = record_test::WalkFrames(both);
    EXPECT_TRUE(walk.wholeFrames);
    const auto decoded = record_test::DecodeMp3(path);
    ASSERT_TRUE(decoded.ok);
    const std::size_t firstFrames = record_test::WalkFrames(first).frames * 1152u;
    EXPECT_EQ(decoded.Frames(), static_cast<std::size_t>(walk.frames) * 1152);
    EXPECT_GT(decoded.Frames(), firstFrames + (chunks[1] - 2) * 1152);
    // Both takes start with the tone.
    EXPECT_GT(record_test::CorrelateWithTone(decoded, 0, kCodecDelay, 15000), 0.9);
    record_test::DecodedAudio second = decoded;
    second.samples.erase(second.samples.begin(), second.samples.begin() + firstFrames * 2);
    EXPECT_GT(record_test::CorrelateWithTone(second, 1, kCodecDelay, 15000), 0.9);
}

namespace {

// Counts the syncs instead of making them, with the time and the file's size at each.
class CountingSync : public platform::FileSync {
public:
    struct Call {
        std::chrono::steady_clock::time_point at;
        std::string folderOf;  // empty for a data sync
        long long size = 0;
    };
    bool Data(int fd) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back({std::chrono::steady_clock::now(), {}, static_cast<long long>(::lseek(fd, 0, SEEK_END))});
        return true;
    }
    bool FolderOf(const std::string& path) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back({std::chrono::steady_clock::now(), path, 0});
        return true;
    }
    std::mutex mutex;
    std::vector<Call> calls;
};

}  // namespace

TEST_F(DiskRecording, WrittenSoundIsSyncedEverySecondAndANewFilesFolderFirst)
{
    TempDir dir;
    const auto tone = record_test::MakeTone(44100, 2, 44100 * 6);
    const std::string input = dir.File("in.raw");
    WriteWholeFile(input, std::string(reinterpret_cast<const char*>(tone.data()), tone.size() * sizeof(std::int16_t)));
    ScopedEnv in("SDL_DISKAUDIOFILEIN", input);  // at the driver's own, real-time pace
    const std::string path = dir.File("new.mp3");
    WriteWholeFile(path, "");
    auto sync = std::make_shared<CountingSync>();
    WaveRecorderOptions options;
    options.stopWait = std::chrono::milliseconds(30);
    options.fileSync = sync;
    TrackInfo track;
    track.path = path;
    track.bitrate = 128000;
    track.sampleRate = 44100;
    track.bitsPerSample = 16;
    track.channels = 2;
    const auto started = std::chrono::steady_clock::now();
    {
        CWaveRecorder recorder(options);
        ASSERT_TRUE(recorder.Prepare(track));
        ASSERT_TRUE(recorder.Start());
        // About four seconds of sound.
        for (int i = 0; i < 20000 && recorder.ChunksEncoded() < 4 * 44100 / 1152; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        recorder.Stop();
    }
    const auto ended = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(sync->mutex);
    ASSERT_GE(sync->calls.size(), 4u);
    EXPECT_EQ(sync->calls.front().folderOf, path);  // before any sound is counted as written
    for (std::size_t i = 1; i < sync->calls.size(); ++i)
        EXPECT_TRUE(sync->calls[i].folderOf.empty()) << "folder synced again at " << i;
    // Data syncs at least once a second (a delivery's period late at most), the last one at
    // the end of the recording covers the whole file.
    auto previous = started;
    for (std::size_t i = 1; i < sync->calls.size(); ++i) {
        EXPECT_LT(sync->calls[i].at - previous, std::chrono::milliseconds(1300)) << "sync " << i;
        previous = sync->calls[i].at;
    }
    EXPECT_LT(ended - previous, std::chrono::milliseconds(100));
    EXPECT_EQ(sync->calls.back().size, static_cast<long long>(ReadWholeFile(path).size()));
}
