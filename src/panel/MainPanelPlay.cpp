// The transport controller's playing: Play and its stop, the play tick that follows the heard
// position, and an output that goes away.

#include <algorithm>
#include <cmath>

#include "controls/PanelButton.h"
#include "controls/SeekSlider.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/MainPanel.h"
#include "panel/RecordingReport.h"
#include "platform/MessageBox.h"
#include "platform/UiTrace.h"
#include "res/ResourceIds.h"

namespace {

// Truncation toward zero of a non-negative float quotient, as the slider's scale needs it.
int Truncate(double value) { return static_cast<int>(value); }

}  // namespace

void CMainPanel::OnPlay()
{
    platform::UiTrace trace("play-press");
    SetFocus();
    if (!m_mp3Player) {
        OnOpenFile();
        if (!m_mp3Player)
            return;
    } else if (m_mp3Player->IsPlaying()) {
        StopPlaying();
        return;
    }
    if (m_mp3Player->GetLength() - m_mp3Player->GetPosition() < 0.5f)
        JumpToStart();
    CloseKeepBefore();  // the input is not kept open while playing
    // No output device (the player has shown why): the panel stays stopped.
    if (!m_mp3Player->Play()) {
        UpdateKeepBefore();
        return;
    }

    m_playButton->SetIconId(res::IDI_STOP);
    m_recordButton->Disable();
    m_recordButton->Refresh(false);
    EnableMenuItem(res::ID_SOUND_RECORD, false);
    SetMenuText(res::ID_SOUND_PLAY, "Стоп\tSpace");
    switch (m_mp3Player->PollStart()) {
    case CMp3Player::StartProgress::Pending:
        // The sound server answers later: the window stays live meanwhile, and Space stops
        // the attempt as it would stop playing.
        m_startTimer.Start(20);
        return;
    case CMp3Player::StartProgress::Failed:
        StopPlaying();  // the player has said why
        return;
    case CMp3Player::StartProgress::Playing:
        ShowPlayingStarted();
        return;
    }
}

void CMainPanel::PollPlayStart()
{
    const CMp3Player::StartProgress progress = m_mp3Player && m_mp3Player->IsPlaying()
                                                   ? m_mp3Player->PollStart()
                                                   : CMp3Player::StartProgress::Failed;
    if (progress == CMp3Player::StartProgress::Pending)
        return;
    m_startTimer.Stop();
    if (progress == CMp3Player::StartProgress::Playing)
        ShowPlayingStarted();
    else if (m_mp3Player)
        StopPlaying();  // the player has said why
}

void CMainPanel::ShowPlayingStarted()
{
    m_lamp->SetState(LAMP_PLAY);
    SchedulePlayTick(m_mp3Player->GetPosition());
}

void CMainPanel::SchedulePlayTick(float position)
{
    // The next tick comes just after the heard position passes its next whole second, so the
    // time display turns as that second is heard, and at least four times a second for the
    // slider. A tick in the last half second ends playing, so none comes there but the one
    // just before the end: the file is heard to within a few hundredths of a second of its end.
    double next = std::min(std::floor(static_cast<double>(position)) + 1.0 - position + 0.005, 0.25);
    const double left = static_cast<double>(m_mp3Player->GetLength()) - position;
    if (next > left - 0.5)
        next = left - 0.02;
    m_playTimer.Start(std::max(static_cast<int>(next * 1000.0), 20));
}

void CMainPanel::StopPlaying()
{
    m_mp3Player->Pause();

    m_recordButton->Enable();
    m_recordButton->Refresh(false);
    m_playButton->SetIconId(res::IDI_PLAY);
    m_lamp->SetState(IdleLampState());
    EnableMenuItem(res::ID_SOUND_RECORD, true);
    SetMenuText(res::ID_SOUND_PLAY, "Воспроизведение\tSpace");
    UpdateKeepBefore();
    m_playTimer.Stop();
    if (!m_recorder)
        m_startTimer.Stop();  // a start still under way
}

void CMainPanel::OnPlayTick()
{
    if (!m_mp3Player)
        return;
    const float position = m_mp3Player->GetPosition();
    const float length = m_mp3Player->GetLength();
    if (!m_slider->IsDragging())
        m_slider->SetPos(length > 0.0f ? Truncate(position * 1000.0 / length) : 0);
    m_timePanel->SetSeconds(static_cast<int>(position));
    if (m_mp3Player->OutputLost()) {
        ShowOutputLost();
        return;
    }
    if (length - position < 0.5f) {
        // Stopped before it goes back to the start: the output would otherwise play the start
        // for as long as the stop takes.
        StopPlaying();
        JumpToStart();
        m_timePanel->Reset();
        return;
    }
    SchedulePlayTick(position);
}


void CMainPanel::ShowOutputLost()
{
    // Stop as at the end of the file, but keep the place: a fresh player (with a fresh output
    // device) is loaded there, so Space plays on once the sound is back.
    const std::string path = m_trackInfo.path;
    const float position = m_mp3Player->GetPosition();
    StopPlaying();
    platform::ShowMessage(platform::FormatFileMessage(path, report::kOutputLost),
                          platform::MessageIcon::Stop);
    m_trackInfo.startSeconds = static_cast<std::uint32_t>(std::max(0.0f, position));
    LoadCurrentFile();
}
