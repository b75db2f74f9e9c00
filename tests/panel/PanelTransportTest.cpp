#include <wx/filedlg.h>
#include <wx/testing.h>

#include "controls/FormatTime.h"
#include "controls/InfoPanel.h"
#include "controls/LevelMeter.h"
#include "controls/SeekSlider.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "platform/sdl/SdlAudio.h"
#include "res/ResourceIds.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"
#include "support/XInput.h"

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using testing_support::WaitFor;

namespace {

long long FileSize(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace

class TransportTest : public PanelFixture {};

TEST_F(TransportTest, RecordIntoNewFileStopAndReloadAtTheStart)
{
    OpenFrame();
    ExpectState(State::NoFile, "start");
    EXPECT_EQ(Title(), "<No file> - Dravellin Recorder");

    const std::string path = File("first.mp3");
    wxTEST_DIALOG(Command(res::ID_SOUND_RECORD), wxExpectModal<wxFileDialog>(path));
    ExpectState(State::Recording, "recording");
    EXPECT_EQ(Title(), "first.mp3 - Dravellin Recorder");
    EXPECT_EQ(platform::ReadSetting(platform::kLastFile), path);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 0);

    EXPECT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 2; }, 5000));
    EXPECT_GT(FileSize(path), 0);

    Command(res::ID_SOUND_RECORD);  // stop
    ExpectState(State::Stopped, "stopped");
    EXPECT_EQ(m_panel->Track().startSeconds, 0u);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 0);
    EXPECT_EQ(m_panel->Slider()->GetValue(), 0);
    EXPECT_GE(m_panel->Player()->GetLength(), 1.5f);
    EXPECT_TRUE(m_messages->Messages().empty());
}

// What the user sees while recording: the screen, read back through the X server, shows the
// level meter's latest picture, and that picture is the tone's wave, not a flat line.
TEST_F(TransportTest, TheLevelMeterOnScreenShowsTheWaveBeingRecorded)
{
    // The last file, empty, is loaded at start; Enter typed through the X server records into it.
    const std::string path = File("meter.mp3");
    testing_support::WriteWholeFile(path, "");
    platform::WriteSetting(platform::kLoader, 2);
    platform::WriteSetting(platform::kLastFile, path);
    OpenFrame();
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_RECORD; }, 20000))
        << "the recording did not start";
    CLevelMeter* meter = m_panel->LevelMeter();
    const auto same = [](const wxImage& a, const wxImage& b) {
        return a.IsOk() && b.IsOk() && a.GetSize() == b.GetSize() &&
               std::equal(a.GetData(), a.GetData() + a.GetWidth() * a.GetHeight() * 3, b.GetData());
    };
    const auto litRows = [](const wxImage& image) {
        int rows = 0;
        for (int y = 0; y < image.GetHeight(); ++y) {
            bool lit = false;
            for (int x = 0; x < image.GetWidth(); ++x)
                lit = lit || (image.GetGreen(x, y) > 150 && image.GetRed(x, y) < 60);
            rows += lit ? 1 : 0;
        }
        return rows;
    };
    // A new picture comes ten times a second: the screen is read between two looks at the
    // back buffer that agree, once the meter has drawn a wave (more than a flat line).
    wxImage shown;
    const bool onScreen = WaitFor(
        [&] {
            const wxImage before = meter->GetBackBufferImage();
            shown = testing_support::XScreenImage(meter->GetScreenRect());
            return litRows(before) > 5 && same(before, shown) && same(before, meter->GetBackBufferImage());
        },
        5000);
    EXPECT_TRUE(onScreen) << "the screen does not show the level meter's wave; lit rows on screen: "
                          << litRows(shown);
    PressKey(WXK_RETURN);
    EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_STOP; }, 20000))
        << "the recording did not stop";
}

TEST_F(TransportTest, CancelledSaveDialogChangesNothing)
{
    OpenFrame();
    wxTEST_DIALOG(Command(res::ID_SOUND_RECORD), wxExpectModal<wxFileDialog>(File("x.mp3"), wxID_CANCEL));
    ExpectState(State::NoFile, "after cancel");
    EXPECT_EQ(platform::ReadSetting(platform::kLastFile), "");
    EXPECT_EQ(Title(), "<No file> - Dravellin Recorder");
}

TEST_F(TransportTest, RecordingAppendsAfterWholeSecondsOfTheFile)
{
    const std::string path = File("long.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 65.6, 11025, 1, 32));
    OpenFrame();
    wxTEST_DIALOG(Command(res::ID_FILE_OPEN), wxExpectModal<wxFileDialog>(path));
    ExpectState(State::Stopped, "opened");
    const float oldLength = m_panel->Player()->GetLength();
    ASSERT_GE(oldLength, 65.0f);
    ASSERT_LT(oldLength, 66.0f);
    const long long oldSize = FileSize(path);

    Command(res::ID_ACCEL_ENTER);
    ExpectState(State::Recording, "recording");
    EXPECT_EQ(m_panel->Track().startSeconds, 65u);
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 2; }, 5000));
    // The clock counts the new recording; the size line counts the whole file.
    const int seconds = m_panel->TimePanel()->GetSeconds();
    EXPECT_NE(m_panel->InfoPanel()->SizeText().find("(" + FormatTime(65 + seconds) + ")"),
              std::string::npos)
        << m_panel->InfoPanel()->SizeText();
    EXPECT_EQ(m_panel->Slider()->GetValue(), 65 * 1000 / (65 + seconds));

    Command(res::ID_ACCEL_SPACE);  // Space stops a recording too
    ExpectState(State::Stopped, "stopped");
    EXPECT_GT(FileSize(path), oldSize);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 65);
    const float newLength = m_panel->Player()->GetLength();
    EXPECT_GT(newLength, oldLength + 1.5f);
    EXPECT_EQ(m_panel->Slider()->GetValue(), static_cast<int>(65 * 1000.0 / newLength));
    EXPECT_NEAR(m_panel->Player()->GetPosition(), 65.0f, 0.05f);
}

TEST_F(TransportTest, PlayToTheEndComesBackToTheStart)
{
    const std::string path = File("short.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 2.0, 22050, 2, 64));
    OpenFrame();
    wxTEST_DIALOG(Command(res::ID_SOUND_PLAY), wxExpectModal<wxFileDialog>(path));
    ExpectState(State::Playing, "playing");
    EXPECT_EQ(m_panel->InfoPanel()->FormatText(), "64 kbps : 22.1 kHz : Stereo");

    // Enter does nothing during playback.
    Command(res::ID_ACCEL_ENTER);
    ExpectState(State::Playing, "enter ignored");

    EXPECT_TRUE(WaitFor([&] { return !m_panel->IsTimerRunning(kPlayTimerId); }, 6000));
    ExpectState(State::Stopped, "ended");
    EXPECT_LT(m_panel->Player()->GetPosition(), 0.1f);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 0);
    EXPECT_EQ(m_panel->Slider()->GetValue(), 0);

    // Pausing and playing again continues.
    Command(res::ID_ACCEL_SPACE);
    ExpectState(State::Playing, "again");
    Pump(600);
    Command(res::ID_ACCEL_SPACE);
    ExpectState(State::Stopped, "paused");
    const float paused = m_panel->Player()->GetPosition();
    EXPECT_GT(paused, 0.2f);
    Pump(300);
    EXPECT_FLOAT_EQ(m_panel->Player()->GetPosition(), paused);
}

TEST_F(TransportTest, EmptyFileShowsSettingsFormatAndStopsAtFirstTick)
{
    OpenFrame();
    wxTEST_DIALOG(Command(res::ID_FILE_NEW), wxExpectModal<wxFileDialog>(File("empty.mp3")));
    ExpectState(State::Stopped, "empty loaded");
    EXPECT_EQ(m_panel->Player()->GetLength(), 0.0f);
    EXPECT_EQ(m_panel->InfoPanel()->FormatText(), "32 kbps : 11.0 kHz : Mono");
    EXPECT_EQ(m_panel->InfoPanel()->SizeText(), "0 kBytes (0:00:00)");
    EXPECT_EQ(m_panel->Slider()->GetValue(), 0);
    Command(res::ID_SOUND_PLAY);
    ExpectState(State::Playing, "playing empty");
    EXPECT_TRUE(WaitFor([&] { return !m_panel->IsTimerRunning(kPlayTimerId); }, 3000));
    ExpectState(State::Stopped, "stopped by tick");
    // An empty file can never sound: no output device was opened for it (the disk driver
    // would have made its file).
    EXPECT_FALSE(m_panel->Player()->HasOutput());
    EXPECT_EQ(FileSize(File("output.raw")), -1);
    platform::SdlAudio::Get().WaitForClosed();
    EXPECT_EQ(platform::SdlAudio::Get().OpenDevices(), 0);
}

TEST_F(TransportTest, MissingFileLeavesNoPlayerAndTheSettingsFormat)
{
    OpenFrame();
    wxTEST_DIALOG(Command(res::ID_FILE_OPEN), wxExpectModal<wxFileDialog>(File("gone.mp3")));
    ExpectState(State::NoFile, "failed load");
    ASSERT_EQ(m_messages->Messages().size(), 1u);
    EXPECT_EQ(m_messages->Messages()[0].text, File("gone.mp3") + "\nНе могу открыть файл.\n");
    EXPECT_EQ(m_panel->InfoPanel()->SizeText(), "0 kBytes (0:00:00)");
}

TEST_F(TransportTest, NewFileDuringRecordingStopsItFirst)
{
    OpenFrame();
    wxTEST_DIALOG(Command(res::ID_SOUND_RECORD), wxExpectModal<wxFileDialog>(File("a.mp3")));
    ExpectState(State::Recording, "recording a");
    Pump(1200);
    wxTEST_DIALOG(Command(res::ID_ACCEL_NEW), wxExpectModal<wxFileDialog>(File("b.mp3")));
    ExpectState(State::Stopped, "b loaded");
    EXPECT_EQ(Title(), "b.mp3 - Dravellin Recorder");
    EXPECT_GT(FileSize(File("a.mp3")), 0);
    EXPECT_EQ(FileSize(File("b.mp3")), 0);
}

TEST_F(TransportTest, AFileThatCannotGrowStopsTheRecordingWithAMessage)
{
    OpenFrame();
    const std::string path = File("full.mp3");
    wxTEST_DIALOG(Command(res::ID_FILE_NEW), wxExpectModal<wxFileDialog>(path));
    ASSERT_NE(m_panel->Player(), nullptr);

    // A disk that fills up after about two seconds of audio.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit tiny = old;
    tiny.rlim_cur = 8 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);

    Command(res::ID_SOUND_RECORD);
    ExpectState(State::Recording, "recording");
    const bool reported = WaitFor([&] { return !m_messages->Messages().empty(); }, 8000);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_TRUE(reported);

    ExpectState(State::Stopped, "stopped by the failure");
    EXPECT_EQ(m_messages->Messages()[0].text, path + "\nНе удалось записать файл, запись остановлена.\n");
    EXPECT_EQ(m_messages->Messages()[0].icon, platform::MessageIcon::Stop);
    // What was written before the failure stays playable.
    EXPECT_LE(FileSize(path), 8 * 1024);
    EXPECT_GT(m_panel->Player()->GetLength(), 0.5f);
}
