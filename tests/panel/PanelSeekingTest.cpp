#include <cstdlib>

#include <wx/filedlg.h>
#include <wx/testing.h>

#include "controls/SeekSlider.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "res/ResourceIds.h"
#include "support/Mp3Maker.h"

class SeekingTest : public PanelFixture {
protected:
    // Opens a tone file of about `seconds` and returns its exact length.
    float OpenTone(double seconds)
    {
        const std::string path = File("tone.mp3");
        EXPECT_TRUE(testing_support::WriteToneMp3(path, seconds, 11025, 1, 32));
        OpenFrame();
        wxTEST_DIALOG(Command(res::ID_FILE_OPEN), wxExpectModal<wxFileDialog>(path));
        return m_panel->Player() ? m_panel->Player()->GetLength() : 0.0f;
    }
};

TEST_F(SeekingTest, KeysMoveThePositionAndKeepDisplaysInStep)
{
    const float length = OpenTone(20.0);
    ASSERT_GT(length, 19.0f);
    CMp3Player* player = m_panel->Player();

    Command(res::ID_ACCEL_END);
    EXPECT_FLOAT_EQ(player->GetPosition(), length);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), static_cast<int>(length));
    EXPECT_EQ(m_panel->Slider()->GetValue(), 1000);

    Command(res::ID_ACCEL_LEFT);
    EXPECT_NEAR(player->GetPosition(), length - 5.0f, 0.01f);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), static_cast<int>(length - 5.0f));
    EXPECT_EQ(m_panel->Slider()->GetValue(), static_cast<int>((length - 5.0f) * 1000.0 / length));

    Command(res::ID_ACCEL_HOME);
    EXPECT_FLOAT_EQ(player->GetPosition(), 0.0f);
    EXPECT_EQ(m_panel->Slider()->GetValue(), 0);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 0);

    Command(res::ID_ACCEL_LEFT);  // clamped at the start
    EXPECT_FLOAT_EQ(player->GetPosition(), 0.0f);

    Command(res::ID_SOUND_FORWARD);
    Command(res::ID_ACCEL_RIGHT);
    EXPECT_NEAR(player->GetPosition(), 10.0f, 0.01f);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 10);

    for (int i = 0; i < 3; ++i)
        Command(res::ID_ACCEL_RIGHT);  // 15, 20, then clamped at the end
    EXPECT_FLOAT_EQ(player->GetPosition(), length);

    Command(res::ID_SOUND_START);
    EXPECT_FLOAT_EQ(player->GetPosition(), 0.0f);
    Command(res::ID_SOUND_END);
    EXPECT_FLOAT_EQ(player->GetPosition(), length);
    Command(res::ID_SOUND_BACK);
    EXPECT_NEAR(player->GetPosition(), length - 5.0f, 0.01f);
}

TEST_F(SeekingTest, ChannelClicksStepFiveSeconds)
{
    OpenTone(30.0);
    m_panel->OnSliderScroll(CMainPanel::SB_PAGERIGHT, 0);
    EXPECT_NEAR(m_panel->Player()->GetPosition(), 5.0f, 0.01f);
    m_panel->OnSliderScroll(CMainPanel::SB_PAGERIGHT, 0);
    m_panel->OnSliderScroll(CMainPanel::SB_PAGELEFT, 0);
    EXPECT_NEAR(m_panel->Player()->GetPosition(), 5.0f, 0.01f);
}

TEST_F(SeekingTest, DraggingShowsTheTargetInTheTitleAndSeeksOnRelease)
{
    const float length = OpenTone(300.0);
    ASSERT_GT(length, 299.0f);
    const std::string fileTitle = Title();

    m_panel->OnSliderScroll(CMainPanel::SB_THUMBTRACK, 500);
    EXPECT_TRUE(m_panel->Slider()->IsDragging());
    EXPECT_EQ(Title().rfind("Переход: 0:02:", 0), 0u) << Title();
    EXPECT_NE(Title().find("/0:05:00 (50%)"), std::string::npos) << Title();
    // The position does not move until the release.
    EXPECT_FLOAT_EQ(m_panel->Player()->GetPosition(), 0.0f);

    m_panel->OnSliderScroll(CMainPanel::SB_THUMBTRACK, 250);
    m_panel->OnSliderScroll(CMainPanel::SB_THUMBPOSITION, 250);
    EXPECT_FALSE(m_panel->Slider()->IsDragging());
    EXPECT_EQ(Title(), fileTitle);
    EXPECT_NEAR(m_panel->Player()->GetPosition(), length / 4, 0.05f);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), static_cast<int>(length / 4));
    EXPECT_EQ(m_panel->Slider()->GetValue(), 250);
}

TEST_F(SeekingTest, WhileDraggedThePlaybackTickLeavesTheSliderAlone)
{
    OpenTone(30.0);
    Command(res::ID_SOUND_PLAY);
    m_panel->OnSliderScroll(CMainPanel::SB_THUMBTRACK, 900);
    m_panel->Slider()->SetValue(900);
    Pump(2300);
    EXPECT_EQ(m_panel->Slider()->GetValue(), 900);
    EXPECT_GE(m_panel->TimePanel()->GetSeconds(), 1);
    m_panel->OnSliderScroll(CMainPanel::SB_THUMBPOSITION, 900);
    EXPECT_NEAR(m_panel->Player()->GetPosition(), m_panel->Player()->GetLength() * 0.9f, 0.3f);
}

TEST_F(SeekingTest, NothingMovesWithoutAPlayer)
{
    OpenFrame();
    for (int id : {res::ID_ACCEL_HOME, res::ID_ACCEL_END, res::ID_ACCEL_LEFT, res::ID_ACCEL_RIGHT})
        Command(id);
    m_panel->OnSliderScroll(CMainPanel::SB_THUMBTRACK, 10);
    m_panel->OnSliderScroll(CMainPanel::SB_THUMBPOSITION, 10);
    EXPECT_EQ(Title(), "<No file> - Dravellin Recorder");
    ExpectState(State::NoFile);
}

TEST_F(SeekingTest, AnAppendedRecordingOfAnotherLayerCountsAndIsReached)
{
    // Three seconds of Layer II (ffmpeg), then three seconds of our own Layer III appended.
    const std::string wav = File("tone.wav");
    const std::string path = File("mixed.mp3");
    ASSERT_EQ(std::system(("sox -q -n -r 11025 -c 1 -b 16 '" + wav + "' synth 3 sine 440").c_str()), 0);
    ASSERT_EQ(std::system(("ffmpeg -nostdin -y -v quiet -i '" + wav + "' -ar 22050 -c:a mp2 -b:a 64k -f mp2 '" + path + "'").c_str()), 0);
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 3.0, 22050, 1, 32, true));
    OpenFrame();
    wxTEST_DIALOG(Command(res::ID_FILE_OPEN), wxExpectModal<wxFileDialog>(path));
    ASSERT_NE(m_panel->Player(), nullptr);
    EXPECT_EQ(Title(), "mixed.mp3 - Dravellin Recorder");
    const float length = m_panel->Player()->GetLength();
    EXPECT_NEAR(length, 6.0f, 0.15f);
    Command(res::ID_ACCEL_END);
    EXPECT_FLOAT_EQ(m_panel->Player()->GetPosition(), length);
}
