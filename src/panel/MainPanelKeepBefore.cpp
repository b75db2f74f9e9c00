// Keeping the seconds before Record: while a file is loaded and nothing plays or records, the
// sound input stays open and its last seconds are held in memory; Record takes the input over
// as it runs and writes them first.

#include "controls/StatusLamp.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/AudioInputFactory.h"
#include "engine/record/KeepBeforeInput.h"
#include "engine/record/WaveRecorder.h"
#include "panel/MainPanel.h"

void CMainPanel::UpdateKeepBefore()
{
    const int seconds = m_settings.AutoPage().HandsFree().KeepBefore();
    const std::string source = m_settings.SourcesPage().GetSource();
    const bool wanted = seconds > 0 && m_mp3Player && !m_mp3Player->IsPlaying() && !m_recorder;
    // Another length, format or source: a new input, so that Record never begins with sound of
    // the source that was chosen before.
    if (m_keeper && (!wanted || m_keeper->Seconds() != seconds || m_keeperSource != source ||
                     m_keeper->SampleRate() != static_cast<int>(m_trackInfo.sampleRate) ||
                     m_keeper->Channels() != static_cast<int>(m_trackInfo.channels)))
        CloseKeepBefore();
    if (wanted && !m_keeper) {
        m_keeper = std::make_unique<CKeepBeforeInput>(
            [source] { return MakeDefaultAudioInput(source); },
            static_cast<int>(m_trackInfo.sampleRate), static_cast<int>(m_trackInfo.channels), seconds);
        m_keeperSource = source;
        if (m_keeper->Open())
            m_keepTimer.Start(100);
        else
            m_keeper.reset();  // no input now: tried again at the next stop or load
    }
    DescribeLamp();
}

void CMainPanel::OnKeepTick()
{
    // A lost input is opened again about once a second, as a recording's is.
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

std::shared_ptr<KeptInput> CMainPanel::TakeKeepBefore()
{
    if (!m_keeper)
        return nullptr;
    std::shared_ptr<KeptInput> kept = m_keeper->Release();
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
