// CMp3Writer against the real encoder library and against stand-ins that lack an entry point:
// its messages, the configuration record, appending, locking and failed writes.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/record/Mp3TestFiles.h"
#include "engine/record/Mp3Writer.h"
#include "platform/ProgramPaths.h"
#include "platform/SafeOpen.h"
#include "support/MessageCapture.h"
#include "support/TempDir.h"

using testing_support::MessageCapture;
using testing_support::ReadWholeFile;
using testing_support::TempDir;
using testing_support::WriteWholeFile;

namespace {

const char kLibraryMissing[] = "Не могу найти библиотеку (liblame_enc.so).\n";
const char kFunctionsFailed[] = "Невозможно инициализировать функции записи.\n";
const char kStreamFailed[] = "Невозможно инициализировать поток записи.\n";
const char kOpenFailed[] = "Невозможно открыть файл для записи.\n";

// Encodes `chunks` chunks of the tone into the file through a fresh writer.
void Record(const std::string& path, int kbps, int rate, bool stereo, int chunks,
            std::size_t firstFrame = 0)
{
    CMp3Writer writer;
    ASSERT_TRUE(writer.OpenFile(path));
    ASSERT_TRUE(writer.SeekToEnd());
    writer.Configure(kbps, rate, 16, stereo ? 1 : 0);
    ASSERT_TRUE(writer.OpenStream());
    const int channels = stereo ? 2 : 1;
    const std::size_t perChunk = writer.SamplesPerChunk();
    const auto pcm = record_test::MakeTone(rate, channels,
                                           firstFrame + chunks * perChunk / channels);
    for (int i = 0; i < chunks; ++i)
        ASSERT_TRUE(writer.EncodeAndWrite(pcm.data() + firstFrame * channels + i * perChunk,
                                          writer.ChunkBytes()));
    writer.CloseFile();
    writer.CloseStream();
}

}  // namespace

TEST(Mp3Writer, MissingLibraryIsReportedOnceByItsFileName)
{
    TempDir empty;
    MessageCapture messages;
    CMp3Writer writer(std::vector<std::string>{empty.Path()});
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, kLibraryMissing);
    EXPECT_EQ(messages.Messages()[0].icon, platform::MessageIcon::Stop);
    EXPECT_FALSE(writer.IsLoaded());
    writer.Configure(32, 11025, 16, 0);
    EXPECT_FALSE(writer.OpenStream());
    EXPECT_FALSE(writer.OpenStream());
    EXPECT_EQ(messages.Messages().size(), 1u);
}

TEST(Mp3Writer, NeverLooksInTheCurrentFolder)
{
    TempDir empty;
    MessageCapture messages;
    // An empty folder name would be the current one; the build folder holds the library.
    const std::string cwd = platform::ExecutableDir();
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    CMp3Writer writer(std::vector<std::string>{"", empty.Path()});
    EXPECT_FALSE(writer.IsLoaded());
    // Beside the program first, then the installed private folder found from its location.
    const std::vector<std::string> dirs = CMp3Writer::DefaultLibraryDirs();
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0], platform::ExecutableDir());
    EXPECT_EQ(dirs[1], platform::ExecutableDir() + "/../lib/dravellin-recorder");
    EXPECT_EQ(CMp3Writer::LibraryFileName(), "liblame_enc.so");
}

TEST(Mp3Writer, LibraryLackingAnyEntryPointIsRefused)
{
    for (const char* name : {"beInitStream", "beEncodeChunk", "beDeinitStream", "beCloseStream",
                             "beVersion", "beWriteVBRHeader"}) {
        SCOPED_TRACE(name);
        MessageCapture messages;
        CMp3Writer writer(std::vector<std::string>{platform::ExecutableDir() +
                                                   "/stub_encoders/no_" + name});
        EXPECT_FALSE(writer.IsLoaded());
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, kFunctionsFailed);
        EXPECT_EQ(messages.Messages()[0].icon, platform::MessageIcon::Stop);
        EXPECT_FALSE(writer.OpenStream());
    }
}

TEST(Mp3Writer, ConfigurationRecordFollowsTheFormat)
{
    MessageCapture messages;
    CMp3Writer writer;
    ASSERT_TRUE(writer.IsLoaded());
    writer.Configure(256, 44100, 16, 1);
    const auto& c = writer.Config();
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&c);
    EXPECT_EQ(c.dwConfig, 256u);
    EXPECT_EQ(c.LHV1.dwStructVersion, 1u);
    EXPECT_EQ(c.LHV1.dwStructSize, 331u);
    EXPECT_EQ(c.LHV1.dwSampleRate, 44100u);
    EXPECT_EQ(c.LHV1.nMode, blade::BE_MP3_MODE_JSTEREO);
    EXPECT_EQ(c.LHV1.dwBitrate, 256u);
    EXPECT_EQ(c.LHV1.nPreset, -1);
    EXPECT_EQ(c.LHV1.bOriginal, 1u);
    EXPECT_EQ(c.LHV1.bNoRes, 1u);
    // Everything else is zero, the reserved bytes included.
    for (std::size_t i = 0; i < sizeof c; ++i) {
        const bool named = i < 16 || (i >= 20 && i < 40) || (i >= 60 && i < 64) ||
                           (i >= 84 && i < 88);
        if (!named) {
            EXPECT_EQ(raw[i], 0) << "byte " << i;
        }
    }
    writer.Configure(8, 8000, 16, 0);
    EXPECT_EQ(c.LHV1.nMode, blade::BE_MP3_MODE_MONO);

    struct Rule { int kbps, rate; std::uint32_t version; };
    for (const Rule r : {Rule{32, 8000, 0}, Rule{32, 11025, 0}, Rule{32, 22050, 1},
                         Rule{32, 44100, 1}, Rule{24, 8000, 0}, Rule{24, 44100, 0},
                         Rule{48, 8000, 1}, Rule{48, 44100, 1}}) {
        writer.Configure(r.kbps, r.rate, 16, 0);
        EXPECT_EQ(c.LHV1.dwMpegVersion, r.version) << r.kbps << " kbps " << r.rate << " Hz";
    }
    EXPECT_TRUE(messages.Messages().empty());
}

TEST(Mp3Writer, StreamThatCannotStartMakesTheWriterUnusable)
{
    MessageCapture messages;
    CMp3Writer writer;
    writer.Configure(128, 12345, 16, 1);
    EXPECT_FALSE(writer.OpenStream());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, kStreamFailed);
    EXPECT_FALSE(writer.IsLoaded());
    writer.Configure(128, 44100, 16, 1);
    EXPECT_FALSE(writer.OpenStream());
    EXPECT_EQ(messages.Messages().size(), 1u);
}

TEST(Mp3Writer, SecondOpenStreamLeavesTheFirstAlone)
{
    MessageCapture messages;
    CMp3Writer writer;
    writer.Configure(128, 44100, 16, 1);
    ASSERT_TRUE(writer.OpenStream());
    EXPECT_EQ(writer.ChunkBytes(), 2304u * 2);
    EXPECT_FALSE(writer.OpenStream());
    EXPECT_TRUE(writer.IsStreamOpen());
    EXPECT_TRUE(messages.Messages().empty());
}

TEST(Mp3Writer, FileThatCannotBeOpenedIsNeverCreated)
{
    TempDir dir;
    MessageCapture messages;
    CMp3Writer writer;
    const std::string path = dir.File("missing.mp3");
    EXPECT_FALSE(writer.OpenFile(path));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, path + "\n" + kOpenFailed);
    EXPECT_EQ(messages.Messages()[0].icon, platform::MessageIcon::Stop);
    EXPECT_FALSE(writer.IsFileOpen());
    EXPECT_FALSE(writer.SeekToEnd());
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
    // A folder is not a file either.
    EXPECT_FALSE(writer.OpenFile(dir.Path()));
    // Without a file nothing is encoded.
    writer.Configure(32, 11025, 16, 0);
    ASSERT_TRUE(writer.OpenStream());
    std::vector<std::int16_t> pcm(writer.SamplesPerChunk());
    EXPECT_FALSE(writer.EncodeAndWrite(pcm.data(), writer.ChunkBytes()));
}

TEST(Mp3Writer, SecondWriterCannotAppendToTheSameFile)
{
    TempDir dir;
    const std::string path = dir.File("shared.mp3");
    WriteWholeFile(path, "");
    MessageCapture messages;
    CMp3Writer first;
    ASSERT_TRUE(first.OpenFile(path));
    CMp3Writer second;
    EXPECT_FALSE(second.OpenFile(path));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, path + "\n" + kOpenFailed);
    first.CloseFile();
    EXPECT_TRUE(second.OpenFile(path));
}

TEST(Mp3Writer, RecordingTwiceAppendsAndDecodesToBoth)
{
    TempDir dir;
    const std::string path = dir.File("twice.mp3");
    WriteWholeFile(path, "");
    Record(path, 128, 44100, true, 40);
    const std::string first = ReadWholeFile(path);
    ASSERT_FALSE(first.empty());
    Record(path, 128, 44100, true, 40);
    const std::string both = ReadWholeFile(path);
    ASSERT_GT(both.size(), first.size());
    EXPECT_EQ(both.compare(0, first.size(), first), 0);
    const auto walk = record_test::WalkFrames(both);
    EXPECT_TRUE(walk.wholeFrames);
    const auto decoded = record_test::DecodeMp3(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.rate, 44100);
    EXPECT_EQ(decoded.Frames(), static_cast<std::size_t>(walk.frames) * 1152);
    const std::size_t firstFrames = record_test::WalkFrames(first).frames * 1152u;
    EXPECT_GT(firstFrames, 30u * 1152);
    // Each recording holds the tone from its start, after the encoder's delay.
    EXPECT_GT(record_test::CorrelateWithTone(decoded, 0, 1105, firstFrames - 1105), 0.9);
    record_test::DecodedAudio second = decoded;
    second.samples.erase(second.samples.begin(), second.samples.begin() + firstFrames * 2);
    EXPECT_GT(record_test::CorrelateWithTone(second, 1, 1105, 20000), 0.9);
}

TEST(Mp3Writer, FailedWriteLeavesWholeFramesAndStopsEncoding)
{
    TempDir dir;
    const std::string path = dir.File("full.mp3");
    WriteWholeFile(path, "");
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    MessageCapture messages;
    {
        CMp3Writer writer;
        ASSERT_TRUE(writer.OpenFile(path));
        writer.Configure(128, 44100, 16, 1);
        ASSERT_TRUE(writer.OpenStream());
        const auto pcm = record_test::MakeTone(44100, 2, 1152 * 60);
        struct rlimit small = old;
        small.rlim_cur = 10000;  // about 24 frames of 128 kbps
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        int ok = 0;
        for (int i = 0; i < 60; ++i) {
            if (!writer.EncodeAndWrite(pcm.data() + i * 2304, writer.ChunkBytes()))
                break;
            ++ok;
        }
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_LT(ok, 60);
        EXPECT_TRUE(writer.WriteFailed());
        // Encoding has stopped for good.
        EXPECT_FALSE(writer.EncodeAndWrite(pcm.data(), writer.ChunkBytes()));
    }
    const std::string bytes = ReadWholeFile(path);
    EXPECT_LE(bytes.size(), 10000u);
    EXPECT_GT(bytes.size(), 5000u);
    const auto walk = record_test::WalkFrames(bytes);
    EXPECT_TRUE(walk.wholeFrames);
    const auto decoded = record_test::DecodeMp3(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.Frames(), static_cast<std::size_t>(walk.frames) * 1152);
    // The writer shows nothing itself: the controller reports the failure.
    EXPECT_TRUE(messages.Messages().empty());
}

namespace {

int LockingUnsupported(int, int)
{
    errno = EOPNOTSUPP;
    return -1;
}

}  // namespace

TEST(Mp3Writer, APipeOrDeviceIsRefusedWithoutWaitingForAReader)
{
    TempDir dir;
    const std::string pipe = dir.File("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    MessageCapture messages;
    auto opened = std::async(std::launch::async, [&] {
        CMp3Writer writer;
        return writer.OpenFile(pipe);
    });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Release the waiting open by becoming its reader, then fail.
        const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        opened.wait();
        ::close(reader);
        FAIL() << "opening a named pipe waited for a reader";
    }
    EXPECT_FALSE(opened.get());
    CMp3Writer writer;
    EXPECT_FALSE(writer.OpenFile("/dev/null"));
    ASSERT_EQ(messages.Messages().size(), 2u);
    EXPECT_EQ(messages.Messages()[0].text, pipe + "\n" + kOpenFailed);
    EXPECT_EQ(messages.Messages()[1].text, std::string("/dev/null\n") + kOpenFailed);
}

TEST(Mp3Writer, AFileSystemWithoutLocksRecordsWithAWarning)
{
    TempDir dir;
    const std::string path = dir.File("nfs.mp3");
    WriteWholeFile(path, "");
    MessageCapture messages;
    const platform::LockFunction previous = platform::SetLockFunction(LockingUnsupported);
    ::testing::internal::CaptureStderr();
    CMp3Writer writer;
    const bool opened = writer.OpenFile(path);
    const std::string warning = ::testing::internal::GetCapturedStderr();
    platform::SetLockFunction(previous);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_NE(warning.find(path), std::string::npos) << warning;
    writer.Configure(64, 22050, 16, 0);
    ASSERT_TRUE(writer.OpenStream());
    const auto pcm = record_test::MakeTone(22050, 1, 1152 * 4);
    EXPECT_TRUE(writer.EncodeAndWrite(pcm.data(), writer.ChunkBytes()));
}
