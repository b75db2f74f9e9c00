// The transport controller: what the program is doing (nothing, playing, recording) and the
// displays, menu items and timers that follow it. Here: loading the current file and the
// stopped state; recording and playing have files of their own.

#include <algorithm>

#include "controls/FormatTime.h"
#include "controls/InfoPanel.h"
#include "controls/LevelMeter.h"
#include "controls/PanelButton.h"
#include "controls/SeekSlider.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/MainPanel.h"
#include "panel/WindowTitle.h"
#include "platform/LoginSleepInhibitor.h"
#include "platform/UiTrace.h"
#include "res/ResourceIds.h"

namespace {

// Truncation toward zero of a non-negative float quotient, as the slider's scale needs it.
int Truncate(double value) { return static_cast<int>(value); }

}  // namespace

void CMainPanel::DestroyPlayer()
{
    platform::UiTrace trace("player-destroy");
    m_mp3Player.reset();
}

void CMainPanel::ShowSettingsFormat()
{
    const CPageRec& page = m_settings.RecordPage();
    m_infoPanel->ShowFormat(static_cast<float>(page.GetSampleRate()) * 0.001f, page.GetBitrate() / 1000,
                            page.GetStereoMode());
    m_infoPanel->ShowSize(0, FormatTime(0));
}

void CMainPanel::LoadCurrentFile()
{
    platform::UiTrace trace("file-load");
    const CPageRec& page = m_settings.RecordPage();
    m_trackInfo.bitrate = page.GetBitrate();
    m_trackInfo.sampleRate = page.GetSampleRate();
    m_trackInfo.channels = page.GetStereoMode() + 1;
    m_trackInfo.path = m_recordFile.GetPath();
    m_trackInfo.bitsPerSample = 16;

    if (m_recorder)
        StopRecording();  // ends with a load of its own
    if (m_mp3Player) {
        StopPlaying();
        DestroyPlayer();
    }

    m_mp3Player = std::make_unique<CMp3Player>(m_trackInfo);
    if (!m_mp3Player->Load(m_trackInfo)) {
        DestroyPlayer();
        m_timePanel->Reset();
        ShowSettingsFormat();
        return;
    }

    SetWindowTitleText(MakeWindowTitle(m_recordFile.GetName()));
    SetMainWindowTitle(WindowTitleText());
    ShowTimerInTitle();

    const float length = m_mp3Player->GetLength();
    m_slider->ShowThumb();
    m_slider->SetRange(0, 1000);
    if (length > 0.0f) {
        m_slider->SetPageSize(Truncate(5000.0 / length));
        m_slider->SetLineSize(Truncate(1000.0 / length));
        m_slider->SetPos(Truncate(m_trackInfo.startSeconds * 1000.0 / length));
    } else {
        // An empty file: no division by its zero length.
        m_slider->SetPageSize(1);
        m_slider->SetLineSize(1);
        m_slider->SetPos(0);
    }
    m_timePanel->SetSeconds(static_cast<int>(m_trackInfo.startSeconds));
    m_infoPanel->ShowFormat(static_cast<float>(m_trackInfo.sampleRate) * 0.001f, m_trackInfo.bitrate / 1000,
                            m_trackInfo.channels - 1);
    m_infoPanel->ShowSize(m_recordFile.GetSizeKB(), FormatTime(static_cast<int>(length)));
    UpdateKeepBefore();
}

void CMainPanel::OnNewFile()
{
    if (m_recordFile.NewFile(false) && m_recordFile.CreateEmpty()) {
        m_trackInfo.startSeconds = 0;
        LoadCurrentFile();
    }
}

void CMainPanel::OnOpenFile()
{
    if (m_recordFile.OpenExisting(false)) {
        m_trackInfo.startSeconds = 0;
        LoadCurrentFile();
    }
}

void CMainPanel::OpenChosenFile(const std::string& path)
{
    if (m_recordFile.OpenChosen(path)) {
        m_trackInfo.startSeconds = 0;
        LoadCurrentFile();
    }
}


void CMainPanel::PutBackStoppedControls()
{
    m_recordButton->SetIconId(res::IDI_RECORD);
    m_playButton->Enable();
    m_playButton->Refresh(false);
    m_slider->Enable();
    m_lamp->SetState(IdleLampState());
    m_levelMeter->Clear();
    SetMenuText(res::ID_SOUND_RECORD, "Запись\tEnter");
    for (int id = res::ID_SOUND_PLAY; id <= res::ID_SOUND_END; ++id)
        EnableMenuItem(id, true);
    m_recordTicker.Stop();
    m_meterTicker.Stop();
    m_startTimer.Stop();
    if (m_showingInputWait) {
        m_showingInputWait = false;
        SetMainWindowTitle(WindowTitleText());
    }
    DescribeLamp();
    if (m_sleepInhibitor)
        m_sleepInhibitor->Release();
}

