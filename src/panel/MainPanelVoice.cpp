// Voice activation's part of the main panel: the gate's settings for a recording, the
// listening lamp, the time written and the report of bursts.

#include "controls/FormatTime.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/record/WaveRecorder.h"
#include "panel/MainPanel.h"

std::optional<VoiceGateSettings> CMainPanel::VoiceGateOptions() const
{
    const CHandsFreeSettings& settings = m_settings.AutoPage().HandsFree();
    if (!settings.VoiceActivated())
        return std::nullopt;
    VoiceGateSettings gate;
    gate.thresholdDbfs = settings.VoiceThreshold();
    gate.holdSeconds = settings.VoiceHold();
    gate.preRollSeconds = settings.VoicePreRoll();
    return gate;
}

void CMainPanel::ShowRecordingLamp()
{
    const int state = m_recorder && m_recorder->Listening() ? LAMP_LISTEN : LAMP_RECORD;
    if (m_lamp->GetState() != state)
        m_lamp->SetState(state);
}

void CMainPanel::ShowRecordedTime()
{
    // With voice activation the display shows what was written, not how long the input has
    // been listened to (in the file being written).
    if (m_recorder && m_voiceActivated)
        m_timePanel->SetSeconds(static_cast<int>(m_recorder->PieceSecondsWritten()));
    else
        m_timePanel->Tick();
}

std::string CMainPanel::VoiceReport() const
{
    if (!m_recorder || !m_voiceActivated)
        return std::string();
    return "Записано фрагментов по голосу: " + std::to_string(m_recorder->VoiceBursts()) + ", всего " +
           FormatTime(static_cast<int>(m_recorder->SecondsWritten() + 0.5)) + ".\n";
}
