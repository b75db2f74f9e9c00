// Playing through the program's own sound-server client (scripts/with-pulse and
// scripts/with-pipewire), driven by real keys and clicks: what reaches the speaker is the
// file's tone, the time shown at Stop is what was heard, the mixer sees the stream by name,
// and a server that takes the connection but answers nothing neither freezes the window nor
// holds keys.

#include <algorithm>
#include <chrono>
#include <cmath>

#include <wx/timer.h>

#include "controls/PanelButton.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"
#include "support/PulseServer.h"
#include "support/ToneLevel.h"
#include "support/XInput.h"

using testing_support::LoopWatch;
using testing_support::PulseServer;
using testing_support::Thaw;
using testing_support::ToneLevel;
using testing_support::WaitFor;

namespace {

class PlayPulse : public PanelFixture {
protected:
    void SetUp() override
    {
        if (!PulseServer::Available())
            GTEST_SKIP() << "runs inside scripts/with-pulse";
        PanelFixture::SetUp();
        ASSERT_TRUE(PulseServer::Start());
        m_path = File("tone.mp3");
        ASSERT_TRUE(testing_support::WriteToneMp3(m_path, 8.0, PulseServer::Rate(), 2, 128));
        platform::WriteSetting(platform::kLoader, 2);
        platform::WriteSetting(platform::kLastFile, m_path);
        OpenFrame();
        ASSERT_NE(m_panel->Player(), nullptr);
    }

    void ClickPlayButton()
    {
        testing_support::XMovePointer(m_panel->PlayButton()->GetScreenRect().GetPosition() + wxPoint(10, 10));
        Pump(50);
        testing_support::XButton(1, true);
        Pump(60);
        testing_support::XButton(1, false);
    }

    std::string m_path;
};

}  // namespace

// Stopped by a click after 3 s and played on to the end with Space: the speaker got the
// file's tone, the time shown at the stop is what had reached the speaker (the sound queued at
// the server then was dropped and is played again), and the file was heard to its end.
TEST_F(PlayPulse, TheSpeakerGetsTheWholeToneAndTheTimeShownIsWhatWasHeard)
{
    testing_support::SpeakerRecorder speaker(File("speaker.raw"));
    Pump(300);  // the recorder is connected
    PressKey(' ');
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_PLAY; }, 6000)) << "Space did not play";
    const std::string inputs = PulseServer::Pactl("list sink-inputs");
    for (const char* property :
         {"application.name = \"Dravellin Recorder\"", "application.id = \"example.dravellin.Recorder\"",
          "application.icon_name = \"example.dravellin.Recorder\"", "media.name = \"Воспроизведение\"",
          "media.role = \"music\""})
        EXPECT_NE(inputs.find(property), std::string::npos) << property << " not in\n" << inputs;
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 3; }, 10000));
    ClickPlayButton();
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_STOP; }, 3000)) << "the click did not stop";
    const double shown = m_panel->Player()->GetPosition();
    const double length = m_panel->Player()->GetLength();
    Pump(500);
    PressKey(' ');
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_PLAY; }, 6000)) << "Space did not play on";
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_STOP; }, 15000)) << "playing did not end";
    Pump(500);
    const auto heard = speaker.Finish();
    EXPECT_TRUE(m_messages->Messages().empty());

    // The recording in 10 ms blocks, sound or silence.
    const int rate = PulseServer::Rate();
    const int channels = PulseServer::Channels();
    const std::size_t block = static_cast<std::size_t>(rate / 100 * channels);
    std::vector<bool> sound;
    for (std::size_t at = 0; at + block <= heard.size(); at += block)
        sound.push_back(std::any_of(heard.begin() + static_cast<long>(at), heard.begin() + static_cast<long>(at + block),
                                    [](std::int16_t v) { return std::abs(v) > 1000; }));
    const auto first = std::find(sound.begin(), sound.end(), true);
    const auto gap = std::find(first, sound.end(), false);
    ASSERT_NE(gap, sound.end()) << "no pause heard";
    const double before = static_cast<double>(gap - first) / 100.0;
    const double all = static_cast<double>(std::count(sound.begin(), sound.end(), true)) / 100.0;
    const std::size_t middle = static_cast<std::size_t>(first - sound.begin()) * block + block * 100;
    EXPECT_GT(ToneLevel(heard, channels, rate, 440.0, middle / static_cast<std::size_t>(channels),
                        static_cast<std::size_t>(rate) / 10),
              3000.0)
        << "the file's tone did not reach the speaker";
    EXPECT_GE(shown, 3.0);
    EXPECT_NEAR(shown, before, 0.15) << "shown " << shown << " s, the speaker got " << before << " s";
    EXPECT_NEAR(all, length, 0.15) << "the file has " << length << " s, the speaker got " << all << " s";
}

TEST_F(PlayPulse, AStoppedServerGivesThePlaybackMessageAndKeysAreHandledAtOnce)
{
    Thaw thaw;
    ASSERT_TRUE(PulseServer::Freeze(true));
    PressKey(' ');
    Pump(300);
    EXPECT_TRUE(m_panel->Player()->IsPlaying()) << "Space did not try to play";
    PressKey(' ');
    EXPECT_TRUE(WaitFor([&] { return !m_panel->Player()->IsPlaying(); }, 1000)) << "the second Space waited";
    Pump(6000);
    EXPECT_TRUE(m_messages->Messages().empty()) << m_messages->Messages()[0].text;
    EXPECT_NE(m_panel->Lamp()->GetState(), LAMP_PLAY) << "a held key was replayed";

    LoopWatch watch;
    const auto pressed = std::chrono::steady_clock::now();
    PressKey(' ');
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 10000));
    EXPECT_LE(std::chrono::steady_clock::now() - pressed, std::chrono::milliseconds(5500));
    EXPECT_EQ(m_messages->Messages()[0].text, "Невозможно инициализировать воспроизведение.\n");
    EXPECT_LT(watch.longest, std::chrono::milliseconds(500)) << "the window was blocked";
    Pump(100);
    EXPECT_NE(m_panel->Lamp()->GetState(), LAMP_PLAY);
    EXPECT_FALSE(m_panel->IsTimerRunning(kPlayTimerId));
    EXPECT_TRUE(m_panel->RecordButton()->IsEnabled());

    // Once it answers again, Space plays.
    ASSERT_TRUE(PulseServer::Freeze(false));
    m_messages->Clear();
    PressKey(' ');
    EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_PLAY; }, 6000)) << "Space did not play again";
    EXPECT_TRUE(m_messages->Messages().empty());
}
