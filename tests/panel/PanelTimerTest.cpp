// The recording timer through the real window: its dialog typed into and clicked through the X
// server, the lamp and title while armed, and timed starts and stops on an injected clock.

#include <cstdlib>
#include <ctime>
#include <functional>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "controls/StatusLamp.h"
#include "engine/record/WaveRecorder.h"
#include "panel/PanelFixture.h"
#include "panel/TimerDialog.h"
#include "panel/WindowTitle.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "support/GuiWait.h"

using namespace platform;
using testing_support::WaitFor;

namespace {

// A wall clock the test sets and moves, and a steady clock it moves by hand.
class FakeClock : public CClock {
public:
    std::tm LocalNow() const override
    {
        std::tm local{};
        localtime_r(&wall, &local);
        return local;
    }
    std::time_t Now() const override { return wall; }
    std::int64_t SteadyMs() const override { return steadyMs; }
    // Both clocks move on by seconds, as time passing does.
    void Pass(int seconds)
    {
        wall += seconds;
        steadyMs += seconds * 1000LL;
    }

    std::time_t wall = 0;
    std::int64_t steadyMs = 1000;
};

std::time_t Local(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// Runs body on the timer dialog once it is open and modal (from inside its modal loop).
class OnTimerDialog : public wxTimer {
public:
    explicit OnTimerDialog(std::function<void(CTimerDialog&)> body) : m_body(std::move(body)) { Start(50); }
    void Notify() override
    {
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<CTimerDialog*>(w); dialog != nullptr && dialog->IsModal()) {
                Stop();
                EXPECT_TRUE(testing_support::WaitFor([dialog] { return dialog->IsActive(); }, 20000))
                    << "the dialog never got the focus";
                m_body(*dialog);
                ran = true;
                return;
            }
    }
    bool ran = false;

private:
    std::function<void(CTimerDialog&)> m_body;
};

// A real click in the middle of a control.
void ClickOn(wxWindow* control)
{
    ASSERT_NE(control, nullptr);
    wxUIActionSimulator sim;
    sim.MouseMove(control->GetScreenRect().GetPosition() + control->GetSize() / 2);
    testing_support::PumpEvents(50);
    sim.MouseClick();
    testing_support::PumpEvents(150);
}

// Clicks into a field, selects what it holds and types text over it.
void TypeInto(wxWindow* field, const char* text)
{
    ClickOn(field);
    wxUIActionSimulator sim;
    sim.Char('A', wxMOD_CONTROL);
    sim.Text(text);
    testing_support::PumpEvents(150);
}

template <class T>
T* Control(CTimerDialog& dialog, int id)
{
    return dynamic_cast<T*>(dialog.FindWindow(id));
}

class TimerTest : public PanelFixture {
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        // A zone with daylight-saving time: on 29 March 2026 its clocks go from 02:00 to 03:00.
        m_tz = std::make_unique<testing_support::ScopedEnv>("TZ", "Europe/Berlin");
        tzset();
        WriteSetting(kLastFile, File("old.mp3"));  // new files go into the test's folder
    }
    void TearDown() override
    {
        PanelFixture::TearDown();
        m_tz.reset();
        tzset();
    }

    void OpenWithClock()
    {
        SetWindowTitleText("<No file> - Dravellin Recorder");  // as in a new process
        m_frame = new CMainFrame;
        m_frame->Panel()->SetClock(m_clock);
        wxTheApp->SetTopWindow(m_frame);
        ASSERT_TRUE(m_frame->LoadFrame(res::IDR_MAINFRAME));
        m_panel = m_frame->Panel();
        WaitFor([this] { return m_frame->IsShownOnScreen(); });
    }

    // Ctrl+M, then body on the dialog.
    void SetTimer(std::function<void(CTimerDialog&)> body)
    {
        OnTimerDialog driver(std::move(body));
        PressKey('M', wxMOD_CONTROL);
        EXPECT_TRUE(WaitFor([&] { return driver.ran; }, 10000)) << "the timer dialog did not open";
        Pump(300);
    }

    std::shared_ptr<FakeClock> m_clock = std::make_shared<FakeClock>();
    std::unique_ptr<testing_support::ScopedEnv> m_tz;
};

TEST_F(TimerTest, ArmedAcrossARestartStartsOnceAndStopsOnceWhateverTheClockDoes)
{
    m_clock->wall = Local(2026, 3, 29, 1, 40);
    OpenWithClock();
    ExpectState(State::NoFile);

    std::string typedStart;
    SetTimer([&](CTimerDialog& dialog) {
        ClickOn(Control<wxRadioButton>(dialog, IDC_TIMER_START_AT));
        TypeInto(Control<wxTextCtrl>(dialog, IDC_TIMER_START_TIME), "2025-03-29 01:55");
        ClickOn(Control<wxRadioButton>(dialog, IDC_TIMER_STOP_AT));
        TypeInto(Control<wxTextCtrl>(dialog, IDC_TIMER_STOP_TIME), "03:05");
        ClickOn(Control<wxRadioButton>(dialog, IDC_TIMER_NEW_FILE));
        // A start in the past is refused, and the entries stay as typed.
        ClickOn(dialog.FindWindow(wxID_OK));
        ASSERT_EQ(m_messages->Messages().size(), 1u);
        EXPECT_EQ(m_messages->Messages()[0].text, "Время начала уже прошло.\n");
        EXPECT_TRUE(dialog.IsModal());
        typedStart = Control<wxTextCtrl>(dialog, IDC_TIMER_START_TIME)->GetValue().utf8_string();
        EXPECT_EQ(Control<wxTextCtrl>(dialog, IDC_TIMER_STOP_TIME)->GetValue().utf8_string(), "03:05");
        TypeInto(Control<wxTextCtrl>(dialog, IDC_TIMER_START_TIME), "01:55");
        ClickOn(dialog.FindWindow(wxID_OK));
    });
    EXPECT_EQ(typedStart, "2025-03-29 01:55");

    // Armed: the ring on the lamp, the start in the title, nothing recording. 01:55 to 03:05
    // across the change to summer time is ten minutes.
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_ARMED);
    EXPECT_EQ(Title(), "<No file> - Dravellin Recorder (запись в 01:55)");
    EXPECT_NE(m_panel->Lamp()->Description().find("Таймер: запись начнётся в 01:55 и продлится 0:10:00"),
              std::string::npos)
        << m_panel->Lamp()->Description();
    EXPECT_EQ(ReadSetting(kTimerStart), "2026-03-29 01:55:00");
    EXPECT_EQ(ReadSetting(kTimerDuration), 600);
    EXPECT_EQ(ReadSetting(kTimerNewFile), 1);
    EXPECT_EQ(m_panel->Recorder(), nullptr);

    // A restart before the start: armed again.
    CloseFrame();
    m_clock->Pass(10 * 60);  // 01:50
    OpenWithClock();
    EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_ARMED; }));
    EXPECT_EQ(Title(), "<No file> - Dravellin Recorder (запись в 01:55)");
    Pump(600);
    EXPECT_EQ(m_panel->Recorder(), nullptr);

    // The start: a new file with the standard name, recording.
    m_clock->Pass(5 * 60);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() != nullptr && m_panel->Recorder()->IsCapturing(); }, 5000));
    ExpectState(State::Recording, "started by the timer");
    const std::string file = ReadSetting(kLastFile);
    EXPECT_NE(file, File("old.mp3"));
    EXPECT_EQ(Title(), file.substr(file.rfind('/') + 1) + " - Dravellin Recorder");

    // The clock is set back an hour: the recording still ends once its ten minutes have passed.
    m_clock->wall -= 3600;
    m_clock->Pass(9 * 60);
    Pump(600);
    EXPECT_NE(m_panel->Recorder(), nullptr) << "stopped early";
    m_clock->Pass(60);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() == nullptr; }, 5000)) << "never stopped";
    ExpectState(State::Stopped, "stopped by the timer");
    EXPECT_EQ(ReadSetting(kTimerStart), "");

    // The clock comes back past the start: no second recording.
    m_clock->wall += 3600;
    Pump(800);
    EXPECT_EQ(m_panel->Recorder(), nullptr);
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_STOP);
}

TEST_F(TimerTest, AStopCancelsTheArmedTimerAndARestartWithinTheDurationRecordsWhatIsLeft)
{
    m_clock->wall = Local(2026, 6, 1, 12, 0);
    WriteSetting(kLoader, 1);  // a new file at start-up
    OpenWithClock();
    ExpectState(State::Stopped);
    SetTimer([&](CTimerDialog& dialog) {
        ClickOn(Control<wxRadioButton>(dialog, IDC_TIMER_START_AT));
        TypeInto(Control<wxTextCtrl>(dialog, IDC_TIMER_START_TIME), "12:30");
        ClickOn(Control<wxRadioButton>(dialog, IDC_TIMER_STOP_AFTER));
        TypeInto(Control<wxTextCtrl>(dialog, IDC_TIMER_DURATION), "0");
        ClickOn(dialog.FindWindow(wxID_OK));
        ASSERT_EQ(m_messages->Messages().size(), 1u);
        EXPECT_EQ(m_messages->Messages()[0].text, "Длительность должна быть больше нуля.\n");
        TypeInto(Control<wxTextCtrl>(dialog, IDC_TIMER_DURATION), "0:20:00");
        ClickOn(dialog.FindWindow(wxID_OK));
    });
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_ARMED);

    // Record works as usual while armed; its Stop cancels the timer.
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_RECORD; }, 5000));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() == nullptr; }, 5000));
    ExpectState(State::Stopped, "stopped by hand");
    EXPECT_EQ(ReadSetting(kTimerStart), "");
    EXPECT_EQ(Title().find("запись в"), std::string::npos) << Title();

    // A timer whose start passed five minutes ago, with twenty minutes to run: at start-up it
    // records at once, into the current file, and stops when the fifteen minutes left are over.
    CloseFrame();
    WriteSetting(kLoader, 2);
    WriteSetting(kTimerStart, "2026-06-01 11:55:00");
    WriteSetting(kTimerDuration, 20 * 60);
    WriteSetting(kTimerNewFile, 1);
    const std::string current = ReadSetting(kLastFile);
    OpenWithClock();
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() != nullptr && m_panel->Recorder()->IsCapturing(); }, 5000));
    EXPECT_EQ(ReadSetting(kLastFile), current);
    m_clock->Pass(14 * 60 + 50);
    Pump(600);
    EXPECT_NE(m_panel->Recorder(), nullptr);
    m_clock->Pass(10);
    EXPECT_TRUE(WaitFor([&] { return m_panel->Recorder() == nullptr; }, 5000));
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_STOP);
}

}  // namespace
