// CWaveRecorder with a hand-driven sound input: preparing, the buffer ring, the level meter's
// copy, the stop sequence and failures.

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "engine/record/FakeAudioInput.h"
#include "engine/record/Mp3TestFiles.h"
#include "engine/record/WaveRecorder.h"
#include "support/MessageCapture.h"
#include "support/TempDir.h"

using record_test::FakeAudioInput;
using record_test::FakeDeviceState;
using testing_support::MessageCapture;
using testing_support::ReadWholeFile;
using testing_support::TempDir;
using testing_support::WriteWholeFile;

namespace {

struct Rig {
    std::shared_ptr<FakeDeviceState> device = std::make_shared<FakeDeviceState>();
    std::atomic<int> devicesMade{0};

    WaveRecorderOptions Options(std::chrono::milliseconds wait = std::chrono::milliseconds(10))
    {
        WaveRecorderOptions o;
        o.makeDevice = [this] {
            ++devicesMade;
            return std::make_unique<FakeAudioInput>(device);
        };
        o.stopWait = wait;
        return o;
    }
};

TrackInfo Track(const std::string& path, int bitrate, int rate, int channels)
{
    TrackInfo t;
    t.path = path;
    t.bitrate = bitrate;
    t.sampleRate = rate;
    t.bitsPerSample = 16;
    t.channels = channels;
    return t;
}

bool WaitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 10000; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

}  // namespace

TEST(WaveRecorder, FormatFollowsTheTrack)
{
    TempDir dir;
    const std::string path = dir.File("f.mp3");
    WriteWholeFile(path, "");
    Rig rig;
    {
        CWaveRecorder recorder(rig.Options());
        ASSERT_TRUE(recorder.Prepare(Track(path, 16000, 8000, 1)));
        EXPECT_EQ(recorder.Format().formatTag, 1);
        EXPECT_EQ(recorder.Format().channels, 1);
        EXPECT_EQ(recorder.Format().blockAlign, 2);
        EXPECT_EQ(recorder.Format().avgBytesPerSec, 16000u);
        EXPECT_EQ(recorder.SampleCount(), 576);
    }
    {
        CWaveRecorder recorder(rig.Options());
        ASSERT_TRUE(recorder.Prepare(Track(path, 256000, 44100, 2)));
        EXPECT_EQ(recorder.Format().channels, 2);
        EXPECT_EQ(recorder.Format().blockAlign, 4);
        EXPECT_EQ(recorder.Format().avgBytesPerSec, 176400u);
        EXPECT_EQ(recorder.SampleCount(), 2304);
    }
    EXPECT_EQ(rig.devicesMade.load(), 0);  // preparing never touches the device
}

TEST(WaveRecorder, FileThatCannotBeOpenedFailsBeforeAnyDevice)
{
    TempDir dir;
    MessageCapture messages;
    Rig rig;
    CWaveRecorder recorder(rig.Options());
    EXPECT_FALSE(recorder.Prepare(Track(dir.File("none.mp3"), 32000, 11025, 1)));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text,
              dir.File("none.mp3") + "\nНевозможно открыть файл для записи.\n");
    EXPECT_FALSE(recorder.Start());
    EXPECT_EQ(rig.devicesMade.load(), 0);
}

TEST(WaveRecorder, MissingLibraryIsShownOnceAtConstruction)
{
    TempDir dir;
    const std::string path = dir.File("f.mp3");
    WriteWholeFile(path, "");
    MessageCapture messages;
    Rig rig;
    WaveRecorderOptions options = rig.Options();
    options.libraryDirs = {dir.Path()};
    CWaveRecorder recorder(options);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Не могу найти библиотеку (liblame_enc.so).\n");
    EXPECT_FALSE(recorder.Prepare(Track(path, 32000, 11025, 1)));
    EXPECT_EQ(messages.Messages().size(), 1u);
    EXPECT_FALSE(recorder.Start());
}

TEST(WaveRecorder, EveryFullBufferIsEncodedAndShownAndTheRingKeepsCirculating)
{
    TempDir dir;
    const std::string path = dir.File("ring.mp3");
    WriteWholeFile(path, "");
    Rig rig;
    // More than the four seconds the buffers hold, so every buffer goes round more than once.
    const int chunks = 200;
    // MPEG-2: one chunk is one frame of 576 samples per channel.
    const auto tone = record_test::MakeTone(22050, 2, 576u * chunks);
    {
        CWaveRecorder recorder(rig.Options());
        ASSERT_TRUE(recorder.Prepare(Track(path, 64000, 22050, 2)));
        ASSERT_EQ(recorder.SampleCount(), 1152);
        EXPECT_EQ(recorder.LastBuffer(), nullptr);
        ASSERT_TRUE(recorder.Start());
        EXPECT_TRUE(recorder.IsCapturing());
        EXPECT_EQ(recorder.LastBuffer(), nullptr);
        // Periods of an odd size, so buffers (and chunks, which span buffers) fill across period
        // boundaries; a chunk at a time so the buffers never run out.
        const std::size_t period = 1000;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(tone.data());
        const std::size_t chunkBytes = 1152 * 2;
        std::size_t sent = 0;
        for (int c = 1; c <= chunks; ++c) {
            while (sent < c * chunkBytes) {
                const std::size_t n = std::min(period, c * chunkBytes - sent);
                ASSERT_TRUE(rig.device->Push(bytes + sent, n));
                sent += n;
            }
            ASSERT_TRUE(WaitUntil([&] { return recorder.ChunksEncoded() + 6 >= static_cast<std::uint64_t>(c); }));
        }
        EXPECT_EQ(recorder.Overruns(), 0u);
        EXPECT_FALSE(recorder.WriteFailed());
        EXPECT_TRUE(recorder.Stop());
        EXPECT_FALSE(recorder.IsCapturing());
        EXPECT_FALSE(rig.device->IsOpen());
        // The buffer handed back part filled at the stop is written too.
        ASSERT_TRUE(WaitUntil([&] { return recorder.Finished(); }));
        EXPECT_EQ(recorder.ChunksEncoded(), static_cast<std::uint64_t>(chunks));
        const std::int16_t* shown = recorder.LastBuffer();
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(std::equal(shown, shown + 1152, tone.end() - 1152));
    }
    const std::string bytes = ReadWholeFile(path);
    const auto walk = record_test::WalkFrames(bytes);
    EXPECT_TRUE(walk.wholeFrames);
    EXPECT_EQ(walk.rate, 22050);
    EXPECT_EQ(walk.bitrateKbps, 64);
    // Without a flush the encoder keeps back a little more than one frame.
    EXPECT_GE(walk.frames, chunks - 3);
    EXPECT_LE(walk.frames, chunks);
    const auto decoded = record_test::DecodeMp3(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_GT(record_test::CorrelateWithTone(decoded, 0, 1105, 20000), 0.9);
    EXPECT_GT(record_test::CorrelateWithTone(decoded, 1, 1105, 20000), 0.9);
}

TEST(WaveRecorder, BuffersReturnedDuringTheStopWaitAreWrittenButNotQueuedAgain)
{
    TempDir dir;
    const std::string path = dir.File("stop.mp3");
    WriteWholeFile(path, "");
    Rig rig;
    CWaveRecorder recorder(rig.Options(std::chrono::milliseconds(300)));
    ASSERT_TRUE(recorder.Prepare(Track(path, 32000, 11025, 1)));
    ASSERT_TRUE(recorder.Start());
    const unsigned queued = static_cast<unsigned>(recorder.BufferCount()) * recorder.BufferFrames();
    const unsigned pieces = queued / 576 + 12;
    const auto tone = record_test::MakeTone(11025, 1, 576u * pieces);
    std::thread device([&] {
        WaitUntil([&] { return !recorder.IsCapturing(); });
        // After the flag went down: the queued buffers fill, come back and stay out.
        for (unsigned c = 0; c < pieces; ++c)
            rig.device->Push(tone.data() + c * 576, 576 * 2);
    });
    EXPECT_TRUE(recorder.Stop());
    device.join();
    ASSERT_TRUE(WaitUntil([&] { return recorder.Written(); }));
    EXPECT_EQ(recorder.ChunksEncoded(), static_cast<std::uint64_t>(queued / 576));
    EXPECT_GE(recorder.Overruns(), 1u);
    EXPECT_FALSE(rig.device->IsOpen());
}

TEST(WaveRecorder, StartThatFailsLeavesTheDeviceForDestructionToClose)
{
    TempDir dir;
    const std::string path = dir.File("f.mp3");
    WriteWholeFile(path, "");
    Rig rig;
    rig.device->failStart = true;
    {
        CWaveRecorder recorder(rig.Options());
        ASSERT_TRUE(recorder.Prepare(Track(path, 32000, 11025, 1)));
        EXPECT_FALSE(recorder.Start());
        EXPECT_FALSE(recorder.IsCapturing());
        EXPECT_TRUE(rig.device->IsOpen());
    }
    EXPECT_FALSE(rig.device->IsOpen());
    EXPECT_EQ(rig.device->closes, 1);

    Rig noDevice;
    noDevice.device->failOpen = true;
    CWaveRecorder recorder(noDevice.Options());
    ASSERT_TRUE(recorder.Prepare(Track(path, 32000, 11025, 1)));
    EXPECT_FALSE(recorder.Start());
    EXPECT_FALSE(recorder.IsCapturing());
}

// An input that opens in the background (a sound server that answers later) is started only
// once it is open; one whose chosen source is missing fails saying so.
TEST(WaveRecorder, AnInputOpeningInTheBackgroundStartsOnceOpenOrSaysItsSourceIsMissing)
{
    TempDir dir;
    const std::string path = dir.File("f.mp3");
    WriteWholeFile(path, "");
    Rig rig;
    rig.device->progress = IAudioInputDevice::OpenProgress::Opening;
    CWaveRecorder recorder(rig.Options());
    ASSERT_TRUE(recorder.Prepare(Track(path, 32000, 11025, 1)));
    EXPECT_EQ(recorder.BeginStart(), CWaveRecorder::StartProgress::Pending);
    EXPECT_EQ(recorder.PollStart(), CWaveRecorder::StartProgress::Pending);
    EXPECT_FALSE(rig.device->started);
    EXPECT_FALSE(recorder.IsCapturing());
    rig.device->progress = IAudioInputDevice::OpenProgress::Open;
    EXPECT_EQ(recorder.PollStart(), CWaveRecorder::StartProgress::Started);
    EXPECT_TRUE(rig.device->started);
    EXPECT_TRUE(recorder.IsCapturing());

    Rig missing;
    missing.device->progress = IAudioInputDevice::OpenProgress::Failed;
    missing.device->sourceMissing = true;
    CWaveRecorder failed(missing.Options());
    const std::string other = dir.File("g.mp3");  // the first file is locked by its recorder
    WriteWholeFile(other, "");
    ASSERT_TRUE(failed.Prepare(Track(other, 32000, 11025, 1)));
    EXPECT_EQ(failed.BeginStart(), CWaveRecorder::StartProgress::Failed);
    EXPECT_EQ(failed.LastStartFailure(), CWaveRecorder::StartFailure::SourceMissing);
    EXPECT_FALSE(missing.device->started);
}

// What the input itself dropped and every change of its source are in the report.
TEST(WaveRecorder, TheInputsOwnDropsAndSourceChangesAreReported)
{
    TempDir dir;
    const std::string path = dir.File("f.mp3");
    WriteWholeFile(path, "");
    Rig rig;
    // two tenths of a second of 11025 Hz mono, in two runs
    rig.device->drops = {InputDrop{1000, 1102}, InputDrop{5000, 1103}};
    rig.device->switches = {InputSwitch{"usb_mic", 3 * 11025}};
    CWaveRecorder recorder(rig.Options());
    ASSERT_TRUE(recorder.Prepare(Track(path, 32000, 11025, 1)));
    ASSERT_TRUE(recorder.Start());
    recorder.Stop();
    const CWaveRecorder::DroppedInput dropped = recorder.Dropped();
    EXPECT_EQ(dropped.gaps, 2u);
    EXPECT_NEAR(dropped.seconds, 0.2, 0.001);
    ASSERT_EQ(dropped.switches.size(), 1u);
    EXPECT_EQ(dropped.switches[0].source, "usb_mic");
    EXPECT_EQ(dropped.switches[0].seconds, 3.0);
}

TEST(WaveRecorder, FailedWriteIsReportedAndTheFileEndsOnAFrame)
{
    TempDir dir;
    const std::string path = dir.File("full.mp3");
    WriteWholeFile(path, "");
    Rig rig;
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    {
        CWaveRecorder recorder(rig.Options());
        ASSERT_TRUE(recorder.Prepare(Track(path, 128000, 44100, 2)));
        ASSERT_TRUE(recorder.Start());
        struct rlimit small = old;
        small.rlim_cur = 6000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const std::size_t buffer = recorder.BufferFrames() * 2u;
        const auto tone = record_test::MakeTone(44100, 2, static_cast<unsigned>(recorder.BufferFrames()) * 12);
        for (int b = 0; b < 12 && !recorder.WriteFailed(); ++b) {
            const std::uint64_t before = recorder.ChunksEncoded();
            rig.device->Push(tone.data() + b * buffer, buffer * 2);
            WaitUntil([&] { return recorder.ChunksEncoded() > before || recorder.WriteFailed(); });
        }
        EXPECT_TRUE(WaitUntil([&] { return recorder.WriteFailed(); }));
        setrlimit(RLIMIT_FSIZE, &old);
    }
    const std::string bytes = ReadWholeFile(path);
    EXPECT_LE(bytes.size(), 6000u);
    EXPECT_TRUE(record_test::WalkFrames(bytes).wholeFrames);
    EXPECT_TRUE(record_test::DecodeMp3(path).ok);
}

TEST(WaveRecorder, TheQueueHoldsFourSecondsAtEveryRateAndABurstLosesNothing)
{
    TempDir dir;
    const std::string path = dir.File("burst.mp3");
    struct Case {
        int bitrate, rate, channels;
    };
    for (const Case& c : {Case{8000, 8000, 1}, Case{16000, 11025, 1}, Case{64000, 22050, 2}, Case{256000, 44100, 2},
                          Case{32000, 44100, 1}}) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " ch");
        WriteWholeFile(path, "");
        Rig rig;
        CWaveRecorder recorder(rig.Options());
        ASSERT_TRUE(recorder.Prepare(Track(path, c.bitrate, c.rate, c.channels)));
        const std::uint64_t queueBytes = static_cast<std::uint64_t>(recorder.BufferCount()) *
                                         recorder.BufferFrames() * recorder.Format().blockAlign;
        EXPECT_GE(queueBytes, 4u * recorder.Format().avgBytesPerSec);

        // What piled up before the stream started arrives at once, followed at once by the first
        // two-second block of a long-latency source: just under four seconds in one delivery,
        // before the encoder has taken a single buffer back.
        ASSERT_TRUE(recorder.Start());
        const unsigned frames = static_cast<unsigned>(c.rate) * 39 / 10;
        const auto burst = record_test::MakeTone(c.rate, c.channels, frames);
        rig.device->Push(burst.data(), burst.size() * 2);
        const std::uint64_t whole = burst.size() / static_cast<std::uint64_t>(recorder.SampleCount());
        EXPECT_TRUE(WaitUntil([&] { return recorder.ChunksEncoded() >= whole; }));
        EXPECT_EQ(recorder.Overruns(), 0u);
        // And the ring keeps going afterwards.
        rig.device->Push(burst.data(), static_cast<std::size_t>(recorder.BufferFrames()) * c.channels * 2);
        EXPECT_TRUE(WaitUntil([&] { return recorder.ChunksEncoded() >= whole + 1; }));
        EXPECT_EQ(recorder.Overruns(), 0u);
        EXPECT_TRUE(recorder.Stop());
    }
}

// A lost input: what it gave stays encoded, the recorder waits and tries the input again about
// once a second (an attempt that fails is made again), and capture goes on into the same
// stream; the outage is counted from its recording time for its wall-clock length.
TEST(WaveRecorder, ALostInputIsWaitedForAndCaptureGoesOnIntoTheSameStream)
{
    TempDir dir;
    const std::string path = dir.File("lost.mp3");
    WriteWholeFile(path, "");
    Rig rig;
    // Four buffers of a tenth of a second at a time: 15 chunks of 576 frames and a part chunk.
    const auto tone = record_test::MakeTone(22050, 2, 2205u * 4);
    const auto push = [&] { ASSERT_TRUE(rig.device->Push(tone.data(), tone.size() * 2)); };
    CWaveRecorder recorder(rig.Options());
    ASSERT_TRUE(recorder.Prepare(Track(path, 64000, 22050, 2)));
    ASSERT_TRUE(recorder.Start());
    push();
    ASSERT_TRUE(WaitUntil([&] { return recorder.ChunksEncoded() == 15; }));
    EXPECT_FALSE(recorder.FollowInput());
    {
        std::lock_guard<std::mutex> lock(rig.device->mutex);
        rig.device->lost = true;
        rig.device->failOpen = true;
    }
    const auto lostAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(recorder.FollowInput());
    EXPECT_TRUE(recorder.Waiting());
    EXPECT_TRUE(recorder.IsCapturing());
    EXPECT_FALSE(rig.device->IsOpen());
    EXPECT_EQ(recorder.ChunksEncoded(), 15u);
    const std::string written = ReadWholeFile(path);
    EXPECT_GT(written.size(), 0u);
    // About once a second, never sooner.
    EXPECT_TRUE(recorder.FollowInput());
    EXPECT_EQ(rig.devicesMade.load(), 1);
    ASSERT_TRUE(WaitUntil([&] { recorder.FollowInput(); return rig.devicesMade.load() == 2; }));
    EXPECT_GE(std::chrono::steady_clock::now() - lostAt, CCaptureInput::kRetryInterval);
    EXPECT_TRUE(recorder.Waiting());  // that attempt failed
    {
        std::lock_guard<std::mutex> lock(rig.device->mutex);
        rig.device->lost = false;
        rig.device->failOpen = false;
    }
    ASSERT_TRUE(WaitUntil([&] { return !recorder.FollowInput(); }));
    EXPECT_EQ(rig.devicesMade.load(), 3);
    push();
    // The part chunk left by the lost input is completed by the next one: nothing in between.
    ASSERT_TRUE(WaitUntil([&] { return recorder.ChunksEncoded() == 30; }));
    EXPECT_TRUE(recorder.Stop());
    const auto dropped = recorder.Dropped();
    ASSERT_EQ(dropped.outages.size(), 1u);
    EXPECT_NEAR(dropped.outages[0].atSeconds, 0.4, 1e-6);
    EXPECT_GE(dropped.outages[0].wallSeconds, 2.0);
    EXPECT_LT(dropped.outages[0].wallSeconds, 4.0);
    ASSERT_TRUE(WaitUntil([&] { return recorder.Finished(); }));
    const std::string bytes = ReadWholeFile(path);
    EXPECT_EQ(bytes.compare(0, written.size(), written), 0);
    const auto walk = record_test::WalkFrames(bytes);
    EXPECT_TRUE(walk.wholeFrames);
    // One stream: a frame per chunk, the last one held back by the encoder (no flush).
    EXPECT_EQ(walk.frames, 29);
}
