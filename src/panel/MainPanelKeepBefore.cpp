// Keeping the seconds before Record: while a file is loaded and nothing plays or records, the
// sound input stays open and its last seconds are held in memory; Record writes them first.

#include "controls/StatusLamp.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/AudioInputFactory.h"
#include "engine/record/KeepBeforeInput.h"
#include "engine/record/WaveRecorder.h"
#include "panel/MainPanel.h"

void CMainPanel::UpdateKeepBefore()
{
    const int seconds = m_settings.RecordPage().HandsFree().KeepBefore();
    const bool wanted = seconds > 0 && m_mp3Player && !m_mp3Player->IsPlaying() && !m_recorder;
    if (m_keeper && (!wanted || m_keeper->Seconds() != seconds ||
                     m_keeper->SampleRate() != static_cast<int>(m_trackInfo.sampleRate) ||
                     m_keeper->Channels() != static_cast<int>(m_trackInfo.channels)))
        CloseKeepBefore();
    if (wanted && !m_keeper) {
        m_keeper = std::make_unique<CKeepBeforeInput>(
            [source = m_settings.RecordPage().GetSource()] { return MakeDefaultAudioInput(source); },
            static_cast<int>(m_trackInfo.sampleRate), static_cast<int>(m_trackInfo.channels), seconds);
        if (m_keeper->Open())
            m_keepTimer.Start(100);
        else
            m_keeper.reset();  // no input now: tried again at the next stop or load
    }
    DescribeLamp();
}

void CMainPanel::OnKeepTick()
{
    if (m_keeper && m_keeper->Poll())
        return;
    CloseKeepBefore();
    DescribeLamp();
}

void CMainPanel::CloseKeepBefore()
{
    m_keepTimer.Stop();
    m_keeper.reset();
}

std::shared_ptr<const std::vector<std::int16_t>> CMainPanel::TakeKeepBefore()
{
    if (!m_keeper || !m_keeper->IsCapturing()) {
        CloseKeepBefore();
        return nullptr;
    }
    auto kept = std::make_shared<const std::vector<std::int16_t>>(m_keeper->Take());
    CloseKeepBefore();
    return kept;
}

std::string CMainPanel::KeepBeforeNote() const
{
    if (!m_keeper)
        return std::string();
    return ". Микрофон открыт: последние " + std::to_string(m_keeper->Seconds()) +
           " с звука хранятся только в памяти и станут началом следующей записи";
}
