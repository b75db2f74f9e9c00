// The panel through a real PulseAudio server (scripts/with-pulse) and real key presses: the
// server killed while recording and while playing, and no server at all when Enter is pressed.

#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"
#include "support/PulseServer.h"

using testing_support::MicFeeder;
using testing_support::PulseServer;
using testing_support::ReadWholeFile;
using testing_support::WaitFor;

namespace {

class PulsePanel : public PanelFixture {
protected:
    void SetUp() override
    {
        if (!PulseServer::Available())
            GTEST_SKIP() << "runs inside scripts/with-pulse";
        PanelFixture::SetUp();
        ASSERT_TRUE(PulseServer::Start());
        // 128 kbps, 44.1 kHz stereo: the server's own format.
        platform::WriteSetting(platform::kBitrate, 7);
        platform::WriteSetting(platform::kSampleFreq, 3);
        platform::WriteSetting(platform::kStereoMode, 1);
    }

    void OpenWithFile(const std::string& path)
    {
        platform::WriteSetting(platform::kLoader, 2);
        platform::WriteSetting(platform::kLastFile, path);
        OpenFrame();
        ASSERT_NE(m_panel->Player(), nullptr);
    }

    bool WaitForLamp(int state, int ms = 20000)
    {
        return WaitFor([&] { return m_panel->Lamp()->GetState() == state; }, ms);
    }

    // The first message shown with this text, or nullptr. (Dropped input, which a busy machine
    // may cause, and a reload that cannot open the output add messages of their own.)
    const testing_support::CapturedMessage* FindMessage(const std::string& text) const
    {
        for (const auto& m : m_messages->Messages())
            if (m.text == text)
                return &m;
        return nullptr;
    }
};

}  // namespace

// Killed while recording: within a few seconds the recording stops as the stop command does,
// a message with the stop icon names the file, what was captured is in the file, and once the
// server is back the next Enter records again into the same file.
TEST_F(PulsePanel, ServerKilledWhileRecordingStopsWithAMessageAndEnterTriesAgain)
{
    MicFeeder mic(440.0, 8000);
    const std::string path = File("interview.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the recording did not start";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 2; }, 20000));
    ASSERT_TRUE(PulseServer::Kill());
    EXPECT_TRUE(WaitForLamp(LAMP_STOP, 6000)) << "the recording claims to continue";
    const std::string lost =
        path + "\nПропал звуковой вход (устройство записи или звуковой сервер), запись остановлена.\n";
    ASSERT_TRUE(WaitFor([&] { return FindMessage(lost) != nullptr; }, 6000)) << "no message about the loss";
    EXPECT_EQ(FindMessage(lost)->icon, platform::MessageIcon::Stop);
    EXPECT_EQ(m_panel->Recorder(), nullptr);
    const std::string written = ReadWholeFile(path);
    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_GT(channels * rate, 0);
    // The server takes what it had not yet delivered with it; the rest is kept.
    EXPECT_GE(static_cast<double>(pcm.size()) / channels / rate, 1.0)
        << "less than a second of the recording was kept; " << channels << " channels at " << rate;

    ASSERT_TRUE(PulseServer::Start());
    m_messages->Clear();
    ASSERT_NE(m_panel->Player(), nullptr) << "the reload after the loss left no player";
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "Enter did not record again";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 1; }, 20000));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_STOP));
    const std::string both = ReadWholeFile(path);
    EXPECT_GT(both.size(), written.size());
    EXPECT_EQ(both.compare(0, written.size(), written), 0);
    for (const auto& m : m_messages->Messages())
        EXPECT_EQ(m.icon, platform::MessageIcon::Information) << m.text;
}

// Killed while playing: the sound stops as at the end of the file, with a message; the window
// keeps working.
TEST_F(PulsePanel, ServerKilledWhilePlayingStopsWithAMessage)
{
    const std::string path = File("music.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 8.0, 44100, 2, 128));
    OpenWithFile(path);

    PressKey(' ');
    ASSERT_TRUE(WaitForLamp(LAMP_PLAY)) << "Space did not play";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 1; }, 20000));
    ASSERT_TRUE(PulseServer::Kill());
    EXPECT_TRUE(WaitForLamp(LAMP_STOP, 6000)) << "playing claims to continue";
    const std::string lost =
        path + "\nПропал звуковой выход (устройство или звуковой сервер), воспроизведение остановлено.\n";
    ASSERT_TRUE(WaitFor([&] { return FindMessage(lost) != nullptr; }, 6000)) << "no message about the loss";
    EXPECT_EQ(FindMessage(lost)->icon, platform::MessageIcon::Stop);
    EXPECT_FALSE(m_panel->IsTimerRunning(kPlayTimerId));
    Pump(300);
}

// No server at all: Enter says that the sound input cannot be opened, and nothing records.
TEST_F(PulsePanel, WithoutAServerEnterSaysSoAndNothingRecords)
{
    const std::string path = File("none.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);
    ASSERT_TRUE(PulseServer::Kill());

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 20000));
    Pump(300);
    EXPECT_EQ(m_messages->Messages()[0].icon, platform::MessageIcon::Stop);
    EXPECT_EQ(m_messages->Messages()[0].text,
              "Не могу открыть звуковой вход: нет устройства записи или звуковой сервер недоступен.");
    EXPECT_EQ(m_panel->Recorder(), nullptr);
    EXPECT_NE(m_panel->Lamp()->GetState(), LAMP_RECORD);
    EXPECT_EQ(ReadWholeFile(path), "");
}
