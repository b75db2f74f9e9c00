#include <cstdlib>

#include <gtk/gtk.h>

#include <X11/keysym.h>

#include <wx/filedlg.h>
#include <wx/testing.h>

#include "controls/PanelButton.h"
#include "controls/SeekSlider.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "res/ResourceIds.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"
#include "support/XInput.h"

using namespace testing_support;

class SeekingTest : public PanelFixture {
protected:
    // Opens a tone file of about `seconds` and returns its exact length. The frame is active,
    // so the keyboard reaches it.
    float OpenTone(double seconds)
    {
        const std::string path = File("tone.mp3");
        EXPECT_TRUE(WriteToneMp3(path, seconds, 11025, 1, 32));
        OpenFrame();
        wxTEST_DIALOG(Command(res::ID_FILE_OPEN), wxExpectModal<wxFileDialog>(path));
        m_frame->Raise();
        EXPECT_TRUE(WaitFor([this] { return m_frame->IsActive(); }, 3000)) << "the frame never became active";
        XSetNumLock(false);
        return m_panel->Player() ? m_panel->Player()->GetLength() : 0.0f;
    }

    float Position() const { return m_panel->Player()->GetPosition(); }
    int Seconds() const { return m_panel->TimePanel()->GetSeconds(); }
    int Thumb() const { return m_panel->Slider()->GetValue(); }

    // The thumb stands where the player is.
    void ExpectThumbAtPlayer(const char* where) const
    {
        const float length = m_panel->Player()->GetLength();
        EXPECT_EQ(Thumb(), static_cast<int>(Position() * 1000.0 / length)) << where;
        EXPECT_EQ(Seconds(), static_cast<int>(Position())) << where;
    }

    // A key pressed on the real keyboard; waits until the toolkit has delivered it.
    void Key(unsigned long keysym)
    {
        XKeyTap(keysym);
        Pump(150);
    }

    // The screen point of the slider's channel at fraction (0 left end, 1 right end) of the
    // thumb's travel, on the trough's middle line.
    wxPoint ChannelPoint(double fraction) const
    {
        GtkRange* range = GTK_RANGE(m_panel->Slider()->GetHandle());
        GdkRectangle trough{};
        gtk_range_get_range_rect(range, &trough);
        int start = 0, end = 0;
        gtk_range_get_slider_range(range, &start, &end);
        const int thumb = end - start;
        const wxRect screen = m_panel->Slider()->GetScreenRect();
        const int travel = trough.width - thumb;
        return wxPoint(screen.x + trough.x + thumb / 2 + static_cast<int>(travel * fraction),
                       screen.y + screen.height / 2);
    }

    // The screen point in the middle of the thumb.
    wxPoint ThumbPoint() const
    {
        GtkRange* range = GTK_RANGE(m_panel->Slider()->GetHandle());
        int start = 0, end = 0;
        gtk_range_get_slider_range(range, &start, &end);
        const wxRect screen = m_panel->Slider()->GetScreenRect();
        return wxPoint(screen.x + (start + end) / 2, screen.y + screen.height / 2);
    }

    void LeftClickAt(const wxPoint& point)
    {
        XMovePointer(point);
        Pump(50);
        XButton(1, true);
        Pump(60);
        XButton(1, false);
        Pump(200);
    }
};

TEST_F(SeekingTest, KeysMoveThePositionAndKeepDisplaysInStep)
{
    const float length = OpenTone(20.0);
    ASSERT_GT(length, 19.0f);

    Key(XK_End);
    EXPECT_FLOAT_EQ(Position(), length);
    EXPECT_EQ(Seconds(), static_cast<int>(length));
    EXPECT_EQ(Thumb(), 1000);

    Key(XK_Left);
    EXPECT_NEAR(Position(), length - 5.0f, 0.01f);
    ExpectThumbAtPlayer("back from the end");

    Key(XK_Home);
    EXPECT_FLOAT_EQ(Position(), 0.0f);
    EXPECT_EQ(Thumb(), 0);
    EXPECT_EQ(Seconds(), 0);

    Key(XK_Left);  // clamped at the start
    EXPECT_FLOAT_EQ(Position(), 0.0f);

    Command(res::ID_SOUND_FORWARD);
    Key(XK_Right);
    EXPECT_NEAR(Position(), 10.0f, 0.01f);
    EXPECT_EQ(Seconds(), 10);

    for (int i = 0; i < 3; ++i)
        Key(XK_Right);  // 15, 20, then clamped at the end
    EXPECT_FLOAT_EQ(Position(), length);

    Command(res::ID_SOUND_START);
    EXPECT_FLOAT_EQ(Position(), 0.0f);
    Command(res::ID_SOUND_END);
    EXPECT_FLOAT_EQ(Position(), length);
    Command(res::ID_SOUND_BACK);
    EXPECT_NEAR(Position(), length - 5.0f, 0.01f);
}

TEST_F(SeekingTest, KeypadKeysActLikeTheMainKeysWhateverNumLock)
{
    OpenTone(30.0);
    for (const bool numLock : {false, true}) {
        SCOPED_TRACE(numLock ? "Num Lock on" : "Num Lock off");
        const float length = m_panel->Player()->GetLength();  // each round records a little
        XSetNumLock(numLock);
        Pump(50);
        ASSERT_EQ(XNumLockOn(), numLock);
        Key(XK_KP_End);
        EXPECT_FLOAT_EQ(Position(), length);
        EXPECT_EQ(Thumb(), 1000);
        Key(XK_KP_Home);
        EXPECT_FLOAT_EQ(Position(), 0.0f);
        EXPECT_EQ(Thumb(), 0);
        Key(XK_KP_Right);
        Key(XK_KP_Right);
        EXPECT_NEAR(Position(), 10.0f, 0.01f);
        Key(XK_KP_Left);
        EXPECT_NEAR(Position(), 5.0f, 0.01f);
        ExpectThumbAtPlayer("after the keypad's arrows");

        Key(XK_KP_Enter);
        EXPECT_TRUE(WaitFor([this] { return m_panel->Recorder() != nullptr; }, 2000));
        ExpectState(State::Recording, "KP_Enter records");
        Pump(300);
        Key(XK_KP_Enter);
        EXPECT_TRUE(WaitFor([this] { return m_panel->Player() != nullptr; }, 3000));
        ExpectState(State::Stopped, "KP_Enter stops");
    }
    XSetNumLock(false);
    EXPECT_TRUE(m_messages->Messages().empty());
}

TEST_F(SeekingTest, ChannelClicksStepFiveSecondsTowardsTheClick)
{
    const float length = OpenTone(30.0);
    ASSERT_GT(length, 29.0f);
    Key(XK_Home);

    // Right of the thumb, far beyond one step: five seconds, not the point clicked.
    LeftClickAt(ChannelPoint(0.7));
    EXPECT_NEAR(Position(), 5.0f, 0.01f);
    EXPECT_EQ(Seconds(), 5);
    ExpectThumbAtPlayer("after a click right of the thumb");
    EXPECT_FALSE(m_panel->Slider()->IsDragging());

    // Left of the thumb at 0:00:20.
    for (int i = 0; i < 3; ++i)
        Key(XK_Right);
    ASSERT_NEAR(Position(), 20.0f, 0.01f);
    LeftClickAt(ChannelPoint(0.1));
    EXPECT_NEAR(Position(), 15.0f, 0.01f);
    ExpectThumbAtPlayer("after a click left of the thumb");

    // During playback the click moves the player on from where it is.
    Key(XK_Home);
    Key(XK_space);
    ASSERT_TRUE(WaitFor([this] { return m_panel->PlayButton()->GetIconId() == res::IDI_STOP; }, 1000));
    LeftClickAt(ChannelPoint(0.8));
    EXPECT_GE(Position(), 5.0f);
    EXPECT_LT(Position(), 7.0f);
    EXPECT_EQ(m_panel->PlayButton()->GetIconId(), res::IDI_STOP) << "the click neither stops nor restarts";
    EXPECT_EQ(Title(), "tone.mp3 - Dravellin Recorder");
    EXPECT_TRUE(m_messages->Messages().empty());
}

TEST_F(SeekingTest, HoldingTheButtonInTheChannelRepeatsTheStep)
{
    OpenTone(60.0);
    Key(XK_Home);
    // The pointer at about 0:00:45: the steps repeat while the button is held and end when the
    // thumb reaches the pointer.
    XMovePointer(ChannelPoint(0.75));
    Pump(50);
    XButton(1, true);
    EXPECT_TRUE(WaitFor([this] { return Position() >= 15.0f; }, 6000)) << Position();
    Pump(3000);
    XButton(1, false);
    Pump(200);
    const float reached = Position();
    EXPECT_GE(reached, 40.0f);
    EXPECT_LT(reached, 52.0f) << "the steps go on past the pointer";
    EXPECT_NEAR(reached - 5.0f * static_cast<int>(reached / 5.0f + 0.001f), 0.0f, 0.01f)
        << "whole five-second steps";
    ExpectThumbAtPlayer("after holding");
    Pump(800);
    EXPECT_FLOAT_EQ(Position(), reached) << "the steps stop with the release";
}

TEST_F(SeekingTest, DraggingTheThumbShowsTheTargetAndSeeksOnRelease)
{
    const float length = OpenTone(300.0);
    ASSERT_GT(length, 299.0f);
    const std::string fileTitle = Title();
    Key(XK_Home);

    const wxPoint from = ThumbPoint();
    const wxPoint to = ChannelPoint(0.5);
    XMovePointer(from);
    Pump(50);
    XButton(1, true);
    Pump(100);
    for (int step = 1; step <= 8; ++step) {
        XMovePointer(wxPoint(from.x + (to.x - from.x) * step / 8, from.y));
        Pump(40);
    }
    Pump(200);
    EXPECT_TRUE(m_panel->Slider()->IsDragging());
    EXPECT_EQ(Title().rfind("Переход: 0:0", 0), 0u) << Title();
    EXPECT_NE(Title().find("/0:05:00 ("), std::string::npos) << Title();
    EXPECT_FLOAT_EQ(Position(), 0.0f) << "the position does not move before the release";
    const int held = Thumb();
    EXPECT_GT(held, 350);
    EXPECT_LT(held, 650);

    XButton(1, false);
    EXPECT_TRUE(WaitFor([this] { return !m_panel->Slider()->IsDragging(); }, 1000));
    EXPECT_EQ(Title(), fileTitle);
    EXPECT_NEAR(Position(), held * length / 1000.0f, 0.5f);
    EXPECT_EQ(Seconds(), static_cast<int>(Position()));
}

TEST_F(SeekingTest, WhileDraggedThePlaybackTickLeavesTheThumbAlone)
{
    OpenTone(30.0);
    Key(XK_space);
    const wxPoint from = ThumbPoint();
    XMovePointer(from);
    Pump(50);
    XButton(1, true);
    const wxPoint to = ChannelPoint(0.9);
    for (int step = 1; step <= 8; ++step) {
        XMovePointer(wxPoint(from.x + (to.x - from.x) * step / 8, from.y));
        Pump(40);
    }
    const int held = Thumb();
    EXPECT_GT(held, 800);
    Pump(2300);
    EXPECT_EQ(Thumb(), held);
    EXPECT_GE(Seconds(), 1) << "the time display follows the playback";
    XButton(1, false);
    EXPECT_TRUE(WaitFor([this] { return !m_panel->Slider()->IsDragging(); }, 1000));
    EXPECT_NEAR(Position(), m_panel->Player()->GetLength() * held / 1000.0f, 0.5f);
}

TEST_F(SeekingTest, EachWheelNotchStepsFiveSecondsLikeTheArrowKeys)
{
    const float length = OpenTone(30.0);
    Key(XK_Right);
    Key(XK_Right);
    ASSERT_NEAR(Position(), 10.0f, 0.01f);
    XMovePointer(ChannelPoint(0.5));
    Pump(50);

    XWheel(1);  // down: forward
    Pump(200);
    EXPECT_NEAR(Position(), 15.0f, 0.01f);
    ExpectThumbAtPlayer("one notch down");
    XWheel(-2);  // up: back
    Pump(200);
    EXPECT_NEAR(Position(), 5.0f, 0.01f);
    ExpectThumbAtPlayer("two notches up");
    XWheel(-3);
    Pump(200);
    EXPECT_FLOAT_EQ(Position(), 0.0f);
    XWheel(8);
    Pump(300);
    EXPECT_FLOAT_EQ(Position(), length);
    ExpectThumbAtPlayer("clamped at the end");
    EXPECT_FALSE(m_panel->Slider()->IsDragging());
    EXPECT_EQ(Title(), "tone.mp3 - Dravellin Recorder");
}

TEST_F(SeekingTest, TheTimeDisplayOnScreenShowsTheNewPosition)
{
    OpenTone(30.0);
    Key(XK_Home);
    LeftClickAt(ChannelPoint(0.9));
    ASSERT_EQ(Seconds(), 5);
    CTimePanel* display = m_panel->TimePanel();
    const wxImage drawn = display->GetBackBufferImage();
    wxImage shown;
    // What the user sees: the screen, read back through the X server, has the same pixels as the
    // control's back buffer once the paint handler has run.
    const bool same = WaitFor(
        [&] {
            shown = XScreenImage(display->GetScreenRect());
            if (!shown.IsOk() || shown.GetSize() != drawn.GetSize())
                return false;
            return std::equal(shown.GetData(), shown.GetData() + shown.GetWidth() * shown.GetHeight() * 3,
                              drawn.GetData());
        },
        2000);
    EXPECT_TRUE(same) << "the screen does not show the time display's picture";
    // And the picture is not blank: it holds green digits.
    int green = 0;
    for (int y = 0; y < shown.GetHeight(); ++y)
        for (int x = 0; x < shown.GetWidth(); ++x)
            green += shown.GetGreen(x, y) > 150 && shown.GetRed(x, y) < 60 ? 1 : 0;
    EXPECT_GT(green, 30);
}

TEST_F(SeekingTest, ClicksAndWheelDoNothingWithoutAFileOrWhileRecording)
{
    OpenFrame();
    m_frame->Raise();
    WaitFor([this] { return m_frame->IsActive(); }, 3000);
    for (unsigned long key : {XK_Home, XK_End, XK_Left, XK_Right})
        Key(key);
    const wxRect slider = m_panel->Slider()->GetScreenRect();
    LeftClickAt(wxPoint(slider.GetRight() - 10, slider.y + slider.height / 2));
    XWheel(2);
    Pump(200);
    EXPECT_EQ(Title(), "<No file> - Dravellin Recorder");
    EXPECT_EQ(Thumb(), 0);
    ExpectState(State::NoFile);
    CloseFrame();

    OpenTone(30.0);
    Key(XK_Right);
    Key(XK_Return);
    ASSERT_TRUE(WaitFor([this] { return m_panel->Recorder() != nullptr; }, 2000));
    const int before = Thumb();
    LeftClickAt(ChannelPoint(0.9));
    XWheel(2);
    Pump(200);
    EXPECT_EQ(Thumb(), before);
    EXPECT_FALSE(m_panel->Slider()->IsDragging());
    ExpectState(State::Recording);
    Key(XK_Return);
    EXPECT_TRUE(WaitFor([this] { return m_panel->Player() != nullptr; }, 3000));
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
