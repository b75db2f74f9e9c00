// What a player says, and that Load fails, for every input it cannot play.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/play/PlayerTestSupport.h"
#include "platform/sdl/SdlAudio.h"
#include "support/MessageCapture.h"

using namespace play_test;
using platform::MessageIcon;

namespace {

class Mp3PlayerFailureTest : public ::testing::Test {
protected:
    // Loads path and expects exactly one message with that text and icon, and false.
    void ExpectLoadFails(const std::string& path, const std::string& text, MessageIcon icon, int rate = 32000,
                         int channels = 2)
    {
        testing_support::MessageCapture messages;
        {
            CMp3Player player(ConfiguredTrack(path));
            TrackInfo track = ConfiguredTrack(path);
            EXPECT_FALSE(player.Load(track));
            // What the panel had put there stays unless the file's header was read.
            EXPECT_EQ(track.sampleRate, rate);
            EXPECT_EQ(track.channels, channels);
        }
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, text);
        EXPECT_EQ(messages.Messages()[0].icon, icon);
    }
    std::string NotDecodable(const std::string& path) { return path + "\nНевозможно инициализировать декодер.\n"; }
    std::string CannotOpen(const std::string& path) { return path + "\nНе могу открыть файл.\n"; }

    DiskOutput m_out;
};

}  // namespace

TEST_F(Mp3PlayerFailureTest, MissingFileFolderOrPipeCannotBeOpened)
{
    const std::string missing = m_out.File("nowhere/missing.mp3");
    ExpectLoadFails(missing, CannotOpen(missing), MessageIcon::Exclamation);
    const std::string folder = m_out.File("folder.mp3");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ExpectLoadFails(folder, CannotOpen(folder), MessageIcon::Exclamation);
    // A named pipe is no file to play, and opening it must not wait for a writer.
    const std::string pipe = m_out.File("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ExpectLoadFails(pipe, CannotOpen(pipe), MessageIcon::Exclamation);
}

TEST_F(Mp3PlayerFailureTest, UnreadableFileCannotBeOpened)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root";
    const std::string path = m_out.Write("locked.mp3", EncodeMp3({8000, 1, 16, 0.5, 0, false}));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    ExpectLoadFails(path, CannotOpen(path), MessageIcon::Exclamation);
}

TEST_F(Mp3PlayerFailureTest, DataThatIsNotMpegAudioHasNoDecoder)
{
    std::string random(200000, '\0');
    std::uint32_t x = 2024;
    for (auto& c : random) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    const std::pair<const char*, std::string> inputs[] = {
        {"text.mp3", "Это не звук, а просто текст.\nSecond line\n"},
        {"random.mp3", random},
        {"sound.mp3", MakeWav(44100, 2, 0.5)},
        {"one-byte.mp3", "\xFF"},
    };
    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        const std::string path = m_out.Write(name, bytes);
        ExpectLoadFails(path, NotDecodable(path), MessageIcon::Stop);
    }
}

TEST_F(Mp3PlayerFailureTest, NoSoundOutputMeansNoPlayback)
{
    // The output is opened at the first Play, so that is where a missing driver shows.
    const std::string path = m_out.Write("ok.mp3", EncodeMp3({22050, 1, 32, 0.5, 0, false}));
    // SDL keeps its audio up once started; start it again with a driver that does not exist.
    platform::SdlAudio::Get().Shutdown();
    testing_support::ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    testing_support::MessageCapture messages;
    CMp3Player player(ConfiguredTrack(path));
    TrackInfo track = ConfiguredTrack(path);
    ASSERT_TRUE(player.Load(track));
    EXPECT_EQ(track.sampleRate, 22050);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_FALSE(player.Play());
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(player.HasOutput());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Невозможно инициализировать воспроизведение.\n");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
}

TEST_F(Mp3PlayerFailureTest, LongPathIsCutToTheMessageBuffer)
{
    const std::string path = m_out.File(std::string(1200, 'x') + ".mp3");
    testing_support::MessageCapture messages;
    CMp3Player player(ConfiguredTrack(path));
    TrackInfo track = ConfiguredTrack(path);
    EXPECT_FALSE(player.Load(track));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, platform::FormatFileMessage(path, "Не могу открыть файл.\n"));
    EXPECT_LT(messages.Messages()[0].text.size(), 1000u);
}

TEST(Mp3PlayerFileBytesTest, SizesBeyondFourGigabytesAndUnreadableFiles)
{
    testing_support::TempDir dir;
    const std::string big = dir.File("big.mp3");
    {
        platform::UniqueFd fd(::open(big.c_str(), O_CREAT | O_WRONLY, 0600));
        ASSERT_TRUE(fd.Valid());
        ASSERT_EQ(::ftruncate(fd.Get(), (std::int64_t{5} << 30) + 7), 0);  // sparse: no disk used
    }
    EXPECT_EQ(CMp3Player::GetFileBytes(big), (std::uint64_t{5} << 30) + 7);
    EXPECT_EQ(CMp3Player::GetFileBytes(dir.File("missing.mp3")), 0u);
    EXPECT_EQ(CMp3Player::GetFileBytes(dir.Path()), 0u);
    testing_support::WriteWholeFile(dir.File("three.mp3"), "abc");
    EXPECT_EQ(CMp3Player::GetFileBytes(dir.File("three.mp3")), 3u);
}
