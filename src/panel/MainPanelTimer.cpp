// The recording timer's part of the main panel: its dialog, the armed lamp and title, and the
// timed start and stop.

#include "controls/FormatTime.h"
#include "controls/StatusLamp.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/WaveRecorder.h"
#include "panel/MainPanel.h"
#include "panel/TimerDialog.h"
#include "panel/WindowTitle.h"

void CMainPanel::SetClock(std::shared_ptr<CClock> clock)
{
    m_clock = std::move(clock);
    m_schedule = std::make_unique<CRecordTimer>(*m_clock);
}

void CMainPanel::OnTimerCommand()
{
    SetFocus();
    // The timer is set while nothing is being recorded.
    if (m_recorder)
        return;
    const TimerPlan* armed = m_schedule->IsArmed() ? &m_schedule->Plan() : nullptr;
    CTimerDialog dialog(this, *m_clock, armed);
    const int result = dialog.ShowModal();
    // The timer started its recording while the dialog was open: that recording keeps the plan
    // it started with (its stop included); the dialog's answer is for a timer not yet started.
    if (m_recorder || m_schedule->IsRunning())
        return;
    if (result == wxID_OK)
        m_schedule->Arm(dialog.Plan());
    else if (result == kTimerDisarm)
        m_schedule->Cancel();
    else
        return;
    ShowTimerState();
    // A start that has come already is taken at once.
    OnScheduleTick();
}

void CMainPanel::OnScheduleTick()
{
    switch (m_schedule->Poll()) {
    case CRecordTimer::Action::Start:
        StartTimedRecording();
        break;
    case CRecordTimer::Action::Stop:
        if (m_recorder)
            StopRecording();
        break;
    case CRecordTimer::Action::None:
        break;
    }
    ShowTimerState();
}

void CMainPanel::StartTimedRecording()
{
    if (m_recorder)
        return;  // recording already: the timer's stop ends it
    if (m_mp3Player && m_mp3Player->IsPlaying())
        StopPlaying();
    if (m_schedule->Plan().newFile || !m_mp3Player) {
        // No dialog: nobody may be at the window.
        if (!m_recordFile.NewFile(true) || !m_recordFile.CreateEmpty()) {
            m_schedule->Cancel();
            return;
        }
        m_trackInfo.startSeconds = 0;
        LoadCurrentFile();
        if (!m_mp3Player) {
            m_schedule->Cancel();
            return;
        }
    }
    OnRecord();
    if (!m_recorder)
        m_schedule->Cancel();  // it could not start and has said why
}

void CMainPanel::ShowTimerState()
{
    const bool pending = m_schedule->IsArmed() || m_schedule->IsRunning();
    if (pending && !m_scheduleTimer.IsRunning())
        m_scheduleTimer.Start(250);
    else if (!pending)
        m_scheduleTimer.Stop();
    if (m_lamp != nullptr && !m_recorder && !(m_mp3Player && m_mp3Player->IsPlaying()))
        m_lamp->SetState(IdleLampState());
    ShowTimerInTitle();
    DescribeLamp();
}

void CMainPanel::ShowTimerInTitle()
{
    std::string title = WindowTitleText();
    if (!m_titleSuffix.empty() && title.size() >= m_titleSuffix.size() &&
        title.compare(title.size() - m_titleSuffix.size(), m_titleSuffix.size(), m_titleSuffix) == 0)
        title.resize(title.size() - m_titleSuffix.size());
    m_titleSuffix.clear();
    if (m_schedule->IsArmed())
        m_titleSuffix = " (запись в " + ShortLocalTime(m_schedule->Plan().start, m_clock->Now()) + ")";
    if (title + m_titleSuffix == WindowTitleText())
        return;
    SetWindowTitleText(title + m_titleSuffix);
    SetMainWindowTitle(WindowTitleText());
}

std::string CMainPanel::TimerNote() const
{
    if (!m_schedule->IsArmed())
        return std::string();
    const TimerPlan& plan = m_schedule->Plan();
    std::string note = ". Таймер: запись начнётся в " + ShortLocalTime(plan.start, m_clock->Now());
    if (plan.duration > 0)
        note += " и продлится " + FormatTime(static_cast<int>(plan.duration));
    return note;
}

int CMainPanel::IdleLampState() const { return m_schedule->IsArmed() ? LAMP_ARMED : LAMP_STOP; }
