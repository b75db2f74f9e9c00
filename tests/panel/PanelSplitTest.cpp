// A long recording in pieces, through the real window and SDL's disk driver (run faster than real
// time): the input is a click every quarter second, so the decoded files, joined in the order
// the report names them, tell whether any sound was lost or doubled where one file ends and the
// next begins. Split by size, by minutes, and a disk that fills up after a split.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/mount.h>

#include <wx/app.h>

#include "controls/StatusLamp.h"
#include "engine/record/Mp3TestFiles.h"
#include "engine/record/WaveRecorder.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "support/GuiWait.h"

using testing_support::ScopedEnv;
using testing_support::WaitFor;

namespace {

// A short 3 kHz burst every `period` frames, on a faint noise floor: raw 16-bit mono PCM.
void WriteClicks(const std::string& path, long rate, double seconds, std::size_t period)
{
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const std::size_t phase = i % period;
        pcm[i] = phase < 40 ? static_cast<std::int16_t>(28000 * std::sin(2 * M_PI * 3000.0 * phase / rate))
                            : static_cast<std::int16_t>(static_cast<int>(i * 7919 % 41) - 20);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
}

// Where each click begins in decoded mono audio: the first sample above a quarter of full scale
// after at least half a period of quiet.
std::vector<std::size_t> FindClicks(const std::vector<std::int16_t>& samples, std::size_t period)
{
    std::vector<std::size_t> clicks;
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (std::abs(samples[i]) > 8000 && (clicks.empty() || i - clicks.back() > period / 2))
            clicks.push_back(i);
    return clicks;
}

// A wall clock the test sets.
class FakeClock : public CClock {
public:
    std::tm LocalNow() const override
    {
        std::tm local{};
        localtime_r(&wall, &local);
        return local;
    }
    std::time_t Now() const override { return wall; }
    std::time_t wall = 0;
};

// The lines of a report that name files in folder, in order.
std::vector<std::string> ReportedFiles(const std::string& text, const std::string& folder)
{
    std::vector<std::string> files;
    std::istringstream report(text);
    for (std::string line; std::getline(report, line);)
        if (line.rfind(folder, 0) == 0)
            files.push_back(line);
    return files;
}

class SplitTest : public PanelFixture {
protected:
    // Settings as the settings file holds them, a new file at start-up in folder, the clicks
    // as the input, read a few times faster than real time.
    void Open(long rate, std::size_t period, double inputSeconds, const std::string& folder, int delayMs)
    {
        platform::WriteSetting(platform::kLoader, 1);
        platform::WriteSetting(platform::kLastFile, folder + "/old.mp3");
        WriteClicks(File("clicks.raw"), rate, inputSeconds, period);
        m_audioIn.reset();  // puts the variable back first
        m_audioIn = std::make_unique<ScopedEnv>("SDL_DISKAUDIOFILEIN", File("clicks.raw"));
        m_delay = std::make_unique<ScopedEnv>("SDL_DISKAUDIODELAY", std::to_string(delayMs));
        if (m_clock) {
            m_frame = new CMainFrame;
            m_frame->Panel()->SetClock(m_clock);
            wxTheApp->SetTopWindow(m_frame);
            ASSERT_TRUE(m_frame->LoadFrame(res::IDR_MAINFRAME));
            m_panel = m_frame->Panel();
            WaitFor([this] { return m_frame->IsShownOnScreen(); });
        } else {
            OpenFrame();
        }
        ExpectState(State::Stopped);
    }

    // Records with Enter until the recording writes its files-th file and a few seconds more,
    // then stops with Enter; the report's paths, in its order.
    std::vector<std::string> RecordFiles(std::size_t files)
    {
        PressKey(WXK_RETURN);
        EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_RECORD; }, 20000));
        if (!m_panel->Recorder())
            return {};
        EXPECT_TRUE(WaitFor([&] { return m_panel->Recorder() && m_panel->Recorder()->Pieces().size() >= files; }, 120000))
            << "too few files";
        // The window follows: the file written is the current one, in the title and "LastFile".
        EXPECT_TRUE(WaitFor([&] {
            return m_panel->RecordFile().GetPath() == m_panel->Recorder()->Pieces().back().path &&
                   Title() == m_panel->RecordFile().GetName() + " - Dravellin Recorder";
        }));
        EXPECT_EQ(platform::ReadSetting(platform::kLastFile), m_panel->RecordFile().GetPath());
        Pump(1500);
        PressKey(WXK_RETURN);
        EXPECT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 20000));
        return m_messages->Messages().empty() ? std::vector<std::string>()
                                              : ReportedFiles(m_messages->Messages().back().text, m_dir.Path());
    }

    // Each file is whole frames that decode on their own; the files joined decode to every
    // click, each exactly one period after the one before: no sample lost or doubled at a join.
    // (Joined as bytes, so the decoder's overlap runs on across each join as a player's does.)
    void ExpectEveryClickOnce(const std::vector<std::string>& paths, long rate, std::size_t period)
    {
        std::string joined;
        for (const std::string& path : paths) {
            SCOPED_TRACE(path);
            const std::string bytes = testing_support::ReadWholeFile(path);
            EXPECT_TRUE(record_test::WalkFrames(bytes).wholeFrames);
            const auto decoded = record_test::DecodeMp3(path);
            EXPECT_TRUE(decoded.ok);
            EXPECT_EQ(decoded.rate, rate);
            joined += bytes;
        }
        testing_support::WriteWholeFile(File("joined.mp3"), joined);
        const auto decoded = record_test::DecodeMp3(File("joined.mp3"));
        ASSERT_TRUE(decoded.ok);
        const std::vector<std::size_t> clicks = FindClicks(decoded.samples, period);
        ASSERT_GT(clicks.size(), 10u);
        for (std::size_t k = 1; k < clicks.size(); ++k) {
            const long off = static_cast<long>(clicks[k] - clicks[k - 1]) - static_cast<long>(period);
            EXPECT_LE(std::labs(off), 4) << "click " << k << " at " << clicks[k];
        }
    }

    std::unique_ptr<ScopedEnv> m_delay;
    std::shared_ptr<FakeClock> m_clock;
};

std::vector<std::string> Mp3FilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".mp3")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

// 256 kbps and a megabyte a file: three files, each but the last a megabyte (and the frames of
// the ticks that noticed it), with standard names in the same folder (a name taken in the same
// minute gets "-2"), all named in the report; joined, every click is there once.
TEST_F(SplitTest, BySizeThreeFilesHoldEveryClickOnce)
{
    platform::WriteSetting(platform::kBitrate, 10);
    platform::WriteSetting(platform::kSampleFreq, 3);
    platform::WriteSetting(platform::kSplitMegabytes, 1);
    Open(44100, 11025, 90, m_dir.Path(), 20);
    const std::vector<std::string> paths = RecordFiles(3);
    ASSERT_EQ(m_messages->Messages().size(), 1u);
    EXPECT_EQ(m_messages->Messages()[0].text.rfind("Запись разделена на файлы: 3.\n", 0), 0u)
        << m_messages->Messages()[0].text;
    ASSERT_EQ(paths.size(), 3u);
    std::vector<std::string> sorted = paths;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Mp3FilesIn(m_dir.Path()), sorted);
    for (std::size_t i = 0; i + 1 < paths.size(); ++i) {
        const auto size = std::filesystem::file_size(paths[i]);
        EXPECT_GE(size, 1u << 20);
        EXPECT_LT(size, (1u << 20) + 200000);
    }
    // The last file is the current one, loaded at its start.
    EXPECT_EQ(m_panel->RecordFile().GetPath(), paths.back());
    ExpectEveryClickOnce(paths, 44100, 11025);
}

// A minute a file, set in the settings file: the time is the recording's own (here read faster
// than real time), so each file but the last holds a minute of sound.
TEST_F(SplitTest, ByMinutesEveryFileHoldsAMinute)
{
    platform::WriteSetting(platform::kSplitMinutes, 1);
    Open(11025, 2756, 150, m_dir.Path(), 10);
    const std::vector<std::string> paths = RecordFiles(3);
    ASSERT_EQ(paths.size(), 3u);
    for (std::size_t i = 0; i + 1 < paths.size(); ++i) {
        const auto decoded = record_test::DecodeMp3(paths[i]);
        const double seconds = static_cast<double>(decoded.Frames()) / 11025;
        EXPECT_GE(seconds, 59.5) << paths[i];
        EXPECT_LE(seconds, 63.0) << paths[i];
    }
    ExpectEveryClickOnce(paths, 11025, 2756);
}

// At the start of each clock hour; the clock set back an hour (the end of summer time) splits
// nothing until it passes the hour of the last split again.
TEST_F(SplitTest, OnTheHourAndNotAgainWhenTheClockGoesBack)
{
    m_clock = std::make_shared<FakeClock>();
    std::tm start{};
    start.tm_year = 2026 - 1900;
    start.tm_mon = 9;
    start.tm_mday = 25;
    start.tm_hour = 2;
    start.tm_min = 58;
    start.tm_isdst = -1;
    m_clock->wall = std::mktime(&start);
    platform::WriteSetting(platform::kSplitOnHour, 1);
    Open(11025, 2756, 150, m_dir.Path(), 20);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() != nullptr && m_panel->Recorder()->IsCapturing(); }, 20000));
    auto files = [&] { return m_panel->Recorder() ? m_panel->Recorder()->Pieces().size() : 0u; };
    Pump(1000);
    EXPECT_EQ(files(), 1u);
    m_clock->wall += 180;  // 03:01
    EXPECT_TRUE(WaitFor([&] { return files() == 2u; }, 5000));
    m_clock->wall -= 3600;  // 02:01 again
    Pump(1000);
    m_clock->wall += 1800;  // 02:31
    Pump(1000);
    EXPECT_EQ(files(), 2u);
    m_clock->wall += 1800;  // 03:01 again
    Pump(1000);
    EXPECT_EQ(files(), 2u);
    m_clock->wall += 3600;  // 04:01
    EXPECT_TRUE(WaitFor([&] { return files() == 3u; }, 5000));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 20000));
    EXPECT_EQ(Mp3FilesIn(m_dir.Path()).size(), 3u);
}

// The disk fills up in the second file: the recording ends with the failed-write message naming
// it, and the first file is whole, closed and holds its megabyte of clicks.
TEST_F(SplitTest, AFullDiskAfterASplitEndsTheRecordingAndKeepsTheFirstFileWhole)
{
    const std::string small = File("small");
    std::filesystem::create_directory(small);
    if (::mount("dr-split-test", small.c_str(), "tmpfs", 0, "size=1300k") != 0)
        GTEST_SKIP() << "no small file system can be mounted here (needs a private mount namespace)";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};
    platform::WriteSetting(platform::kBitrate, 10);
    platform::WriteSetting(platform::kSampleFreq, 3);
    platform::WriteSetting(platform::kSplitMegabytes, 1);
    Open(44100, 11025, 90, small, 20);
    PressKey(WXK_RETURN);
    // The report names the files written; the failed write is the message with the stop icon.
    auto failure = [&]() -> const testing_support::CapturedMessage* {
        for (const auto& message : m_messages->Messages())
            if (message.icon == platform::MessageIcon::Stop)
                return &message;
        return nullptr;
    };
    ASSERT_TRUE(WaitFor([&] { return failure() != nullptr; }, 120000)) << "no message";
    ASSERT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 20000));
    ExpectState(State::Stopped, "after the full disk");
    // The report before it names both files, in their order.
    const std::vector<std::string> files = ReportedFiles(m_messages->Messages()[0].text, small);
    ASSERT_EQ(files.size(), 2u) << m_messages->Messages()[0].text;
    std::vector<std::string> sorted = files;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Mp3FilesIn(small), sorted);
    const std::string& first = files[0];
    const std::string& second = files[1];
    EXPECT_EQ(failure()->text, second + "\nНе удалось записать файл, запись остановлена.\n");
    EXPECT_GE(std::filesystem::file_size(first), 1u << 20);
    ExpectEveryClickOnce({first}, 44100, 11025);
    // The second file keeps what fitted, on whole frames.
    EXPECT_TRUE(record_test::WalkFrames(testing_support::ReadWholeFile(second)).wholeFrames);
}
