// Failures a user meets at the panel, through real key presses and SDL's disk driver: a
// recording that cannot start, a New that cannot create its file, and input dropped while
// recording.

#include <wx/filedlg.h>
#include <wx/testing.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "controls/StatusLamp.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/WaveRecorder.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"

using testing_support::ReadWholeFile;
using testing_support::ScopedEnv;
using testing_support::WaitFor;

namespace {

class FailureTest : public PanelFixture {
protected:
    // Starts with path loaded as the last file.
    void OpenWithFile(const std::string& path)
    {
        platform::WriteSetting(platform::kLoader, 2);
        platform::WriteSetting(platform::kLastFile, path);
        OpenFrame();
        ASSERT_NE(m_panel->Player(), nullptr);
        ExpectState(State::Stopped, "loaded");
    }

    bool WaitForLamp(int state, int ms = 20000)
    {
        return WaitFor([&] { return m_panel->Lamp()->GetState() == state; }, ms);
    }

    // Records with Enter for about seconds and stops with Enter.
    void RecordWithKeys(double seconds)
    {
        PressKey(WXK_RETURN);
        ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the recording did not start";
        Pump(static_cast<int>(seconds * 1000));
        PressKey(WXK_RETURN);
        ASSERT_TRUE(WaitForLamp(LAMP_STOP)) << "the recording did not stop";
    }
};

}  // namespace

// No input device: Enter says so with the stop icon and the file is loaded again where it was,
// so Space plays it (instead of offering the open dialog) and the next Enter tries again.
TEST_F(FailureTest, ARecordingThatCannotStartSaysWhyAndReloadsTheFile)
{
    const std::string path = File("talk.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 4.0, 11025, 1, 32));
    OpenWithFile(path);
    PressKey(WXK_RIGHT);  // a step forward: the position to come back to
    ASSERT_TRUE(WaitFor([&] { return m_panel->Player()->GetPosition() >= 1.0f; }));
    const int position = static_cast<int>(m_panel->Player()->GetPosition());
    const std::string before = ReadWholeFile(path);

    m_audioIn.reset();
    m_audioIn = std::make_unique<ScopedEnv>("SDL_DISKAUDIOFILEIN", File("no-such-input.raw"));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }));
    Pump(200);
    ASSERT_EQ(m_messages->Messages().size(), 1u);
    EXPECT_EQ(m_messages->Messages()[0].text,
              "Не могу открыть звуковой вход: нет устройства записи или звуковой сервер недоступен.");
    EXPECT_EQ(m_messages->Messages()[0].icon, platform::MessageIcon::Stop);
    ASSERT_NE(m_panel->Player(), nullptr) << "the panel was left without its player";
    ExpectState(State::Stopped, "after the failed start");
    EXPECT_EQ(static_cast<int>(m_panel->Player()->GetPosition()), position);
    EXPECT_EQ(Title(), "talk.mp3 - Dravellin Recorder");
    EXPECT_EQ(ReadWholeFile(path), before);

    PressKey(' ');
    EXPECT_TRUE(WaitForLamp(LAMP_PLAY)) << "Space did not play the file";
    PressKey(' ');
    ASSERT_TRUE(WaitForLamp(LAMP_STOP));

    // The input is back: the next Enter records, appending to the file.
    m_audioIn.reset();
    m_audioIn = std::make_unique<ScopedEnv>("SDL_DISKAUDIOFILEIN", File("input.raw"));
    RecordWithKeys(1.5);
    EXPECT_GT(ReadWholeFile(path).size(), before.size());
    EXPECT_EQ(m_messages->Messages().size(), 1u);
}

// The save dialog names a file in a folder that does not exist: the message says so, and the
// current file, its title, its size and "LastFile" stay; the next Enter records into it.
TEST_F(FailureTest, AFailedNewKeepsTheCurrentFile)
{
    const std::string path = File("kept.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 2.0, 11025, 1, 32));
    const std::string before = ReadWholeFile(path);
    OpenWithFile(path);
    const std::string missing = File("no-such-folder/new.mp3");

    wxTEST_DIALOG(
        {
            PressKey('N', wxMOD_CONTROL);
            WaitFor([&] { return !m_messages->Messages().empty(); }, 20000);
        },
        wxExpectModal<wxFileDialog>(missing));
    ASSERT_EQ(m_messages->Messages().size(), 1u);
    EXPECT_EQ(m_messages->Messages()[0].text, missing + "\nНе могу создать файл.");
    EXPECT_EQ(Title(), "kept.mp3 - Dravellin Recorder");
    EXPECT_EQ(platform::ReadSetting(platform::kLastFile), path);
    EXPECT_EQ(m_panel->RecordFile().GetPath(), path);
    EXPECT_EQ(m_panel->RecordFile().GetSizeKB(), before.size() / 1024);
    ExpectState(State::Stopped, "after the failed New");

    RecordWithKeys(1.5);
    const std::string after = ReadWholeFile(path);
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after.compare(0, before.size(), before), 0);
    ASSERT_NE(m_panel->Player(), nullptr) << "the reload after the stop failed";
    EXPECT_GT(m_panel->Player()->GetLength(), 3.0f);
    EXPECT_EQ(m_messages->Messages().size(), 1u);
}

// SDL's disk driver without its delay delivers input far faster than it can be encoded, so most
// of it finds no free buffer: after the stop an information message (and a line on standard
// error) tells how many gaps there were and about how long they lasted.
TEST_F(FailureTest, DroppedInputIsToldAfterTheRecording)
{
    const std::string path = File("fast.mp3");
    testing_support::WriteWholeFile(path, "");
    // 256 kbps stereo at 44.1 kHz: at the default 32 kbps mono LAME encodes the driver's
    // silence about as fast as the driver makes it, and then nothing need be dropped.
    platform::WriteSetting(platform::kBitrate, 10);
    platform::WriteSetting(platform::kStereoMode, 1);
    OpenWithFile(path);
    ScopedEnv noDelay("SDL_DISKAUDIODELAY", "0");

    const std::string errPath = File("stderr.txt");
    std::fflush(stderr);
    const int savedErr = ::dup(2);
    const int errFile = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(errFile, 2);
    // Recording until input has been dropped: on a loaded machine the encoder can keep up with
    // the reader for a while, so a fixed length is not enough.
    PressKey(WXK_RETURN);
    const bool recording = WaitForLamp(LAMP_RECORD);
    const bool dropped = recording && WaitFor([&] {
        return m_panel->Recorder() != nullptr && m_panel->Recorder()->Overruns() > 0;
    }, 30000);
    PressKey(WXK_RETURN);
    const bool stopped = WaitForLamp(LAMP_STOP);
    std::fflush(stderr);
    ::dup2(savedErr, 2);
    ::close(savedErr);
    ::close(errFile);
    ASSERT_TRUE(recording) << "the recording did not start";
    ASSERT_TRUE(dropped) << "no input was dropped in 30 s";
    ASSERT_TRUE(stopped) << "the recording did not stop";

    ASSERT_EQ(m_messages->Messages().size(), 1u);
    const std::string& text = m_messages->Messages()[0].text;
    EXPECT_EQ(m_messages->Messages()[0].icon, platform::MessageIcon::Information);
    EXPECT_EQ(text.rfind(path + "\nЧасть звука не записана", 0), 0u) << text;
    EXPECT_NE(text.find("пропусков "), std::string::npos) << text;
    EXPECT_NE(text.find(" с."), std::string::npos) << text;
    const std::string err = ReadWholeFile(errPath);
    EXPECT_NE(err.find(path + ": "), std::string::npos) << err;
    EXPECT_NE(err.find(" gaps in the recording, about "), std::string::npos) << err;
    ExpectState(State::Stopped, "after the stop");
}
