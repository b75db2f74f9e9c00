// The transport controller: what the program is doing (nothing, playing, recording) and the
// displays, menu items and timers that follow it.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <wx/menu.h>

#include "controls/FormatTime.h"
#include "controls/InfoPanel.h"
#include "controls/LevelMeter.h"
#include "controls/PanelButton.h"
#include "controls/SeekSlider.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/WaveRecorder.h"
#include "panel/MainPanel.h"
#include "panel/WindowTitle.h"
#include "platform/FormatFixed.h"
#include "platform/LoginSleepInhibitor.h"
#include "platform/MessageBox.h"
#include "platform/SoundServer.h"
#include "platform/UiTrace.h"
#include "res/ResourceIds.h"

namespace {

// Truncation toward zero of a non-negative float quotient, as the slider's scale needs it.
int Truncate(double value) { return static_cast<int>(value); }

constexpr const char* kWriteFailedSentence =
    "Не удалось записать файл, запись остановлена.\n";
constexpr const char* kOutputLostSentence =
    "Пропал звуковой выход (устройство или звуковой сервер), воспроизведение остановлено.\n";
constexpr const char* kNoInputDevice =
    "Не могу открыть звуковой вход: нет устройства записи или звуковой сервер недоступен.";
constexpr const char* kFormatRefused = "Звуковой вход не принимает выбранный формат записи.";

// Seconds with one decimal and the Russian decimal comma ("1,2"), whatever the process's locale.
std::string RussianSeconds(double seconds)
{
    std::string text = platform::FormatFixed(seconds, 1, 1);
    for (char& c : text)
        if (c == '.')
            c = ',';
    return text;
}

// "…: пропусков 3, всего около 1,2 с."
std::string DroppedSentence(const CWaveRecorder::DroppedInput& dropped)
{
    return "Часть звука не записана (компьютер не успевал): пропусков " + std::to_string(dropped.gaps) +
           ", всего около " + RussianSeconds(dropped.seconds) + " с.\n";
}

// "Источник звука сменился с 0:01:05 записи: «Микрофон».\n"
std::string SwitchSentence(const CWaveRecorder::RecordedSwitch& change)
{
    return "Источник звука сменился с " + FormatTime(static_cast<int>(change.seconds)) + " записи: «" +
           CPageSrc::SourceLabel(change.source) + "».\n";
}

// "Звуковой вход пропадал с 0:00:03 записи на 5,2 с.\n"
std::string OutageSentence(const CWaveRecorder::InputOutage& outage)
{
    return "Звуковой вход пропадал с " + FormatTime(static_cast<int>(outage.atSeconds)) + " записи на " +
           RussianSeconds(outage.wallSeconds) + " с.\n";
}

// A chosen source that is not there when Record is pressed; a very long stored name is cut
// (on a character boundary) so the message stays readable.
std::string SourceMissingSentence(std::string source)
{
    constexpr std::size_t kLongest = 120;
    if (source.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(source[cut]) & 0xC0) == 0x80)
            --cut;
        source = source.substr(0, cut) + "…";
    }
    return "Не найден источник звука «" + source +
           "». Подключите его или выберите другой источник в настройках, на странице «Запись».";
}

// The same report on the program's standard error, for logs and terminals.
void LogDropped(const std::string& path, const CWaveRecorder::DroppedInput& dropped)
{
    std::fprintf(stderr, "dravellin-recorder: %s: %llu gaps in the recording, about %.1f s of input dropped\n",
                 path.c_str(), static_cast<unsigned long long>(dropped.gaps), dropped.seconds);
}

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

void CMainPanel::OnRecord()
{
    platform::UiTrace trace(m_recorder ? "record-stop" : "record-start");
    SetFocus();
    if (m_recorder) {
        StopRecording();
        return;
    }
    if (!m_mp3Player) {
        OnNewFile();
        if (!m_mp3Player)
            return;
    }
    const float position = m_mp3Player->GetPosition();
    m_trackInfo.startSeconds = static_cast<std::uint32_t>(std::max(0.0f, m_mp3Player->GetLength()));
    DestroyPlayer();

    bool prepared = false;
    {
        platform::UiTrace prepareTrace("record-prepare");
        WaveRecorderOptions options;
        options.source = m_settings.SourcesPage().GetSource();
        options.voiceGate = VoiceGateOptions();
        m_voiceActivated = options.voiceGate.has_value();
        // The seconds kept before Record begin the recording (not with voice activation,
        // whose pre-roll does that).
        std::shared_ptr<const std::vector<std::int16_t>> kept = TakeKeepBefore();
        if (!m_voiceActivated)
            options.before = std::move(kept);
        m_recorder = std::make_unique<CWaveRecorder>(std::move(options));
        prepared = m_recorder->Prepare(m_trackInfo);
    }
    if (!prepared) {
        m_recorder.reset();  // the writer has said why
        RecoverFromFailedStart(position, nullptr);
        return;
    }
    CWaveRecorder::StartProgress progress = CWaveRecorder::StartProgress::Failed;
    {
        platform::UiTrace startTrace("record-open-input");
        progress = m_recorder->BeginStart();
    }
    m_positionBeforeRecord = position;
    if (progress == CWaveRecorder::StartProgress::Pending) {
        // The sound server answers later: the window stays live meanwhile, and Enter or Space
        // stops the attempt as they would stop the recording.
        ShowRecordingControls();
        m_startTimer.Start(20);
        return;
    }
    if (progress == CWaveRecorder::StartProgress::Failed) {
        FailStart();
        return;
    }
    ShowRecordingControls();
    ShowRecordingStarted();
}

void CMainPanel::OnStartTick()
{
    if (!m_recorder) {
        PollPlayStart();
        return;
    }
    const CWaveRecorder::StartProgress progress = m_recorder->PollStart();
    if (progress == CWaveRecorder::StartProgress::Pending)
        return;
    m_startTimer.Stop();
    if (progress == CWaveRecorder::StartProgress::Started) {
        ShowRecordingStarted();
        return;
    }
    PutBackStoppedControls();
    FailStart();
}

void CMainPanel::FailStart()
{
    const CWaveRecorder::StartFailure failure = m_recorder->LastStartFailure();
    m_recorder.reset();  // closes the device, if it opened, and the file
    if (failure == CWaveRecorder::StartFailure::SourceMissing) {
        const std::string sentence = SourceMissingSentence(CPageSrc::SourceLabel(m_settings.SourcesPage().GetSource()));
        RecoverFromFailedStart(m_positionBeforeRecord, sentence.c_str());
        return;
    }
    RecoverFromFailedStart(m_positionBeforeRecord,
                           failure == CWaveRecorder::StartFailure::Format ? kFormatRefused : kNoInputDevice);
}

void CMainPanel::ShowRecordingControls()
{
    m_recordButton->SetIconId(res::IDI_STOP);
    m_playButton->Disable();
    m_playButton->Refresh(false);
    m_slider->Disable();
    m_slider->GoToEnd();
    SetMenuText(res::ID_SOUND_RECORD, "Стоп\tSpace");
    for (int id = res::ID_SOUND_PLAY; id <= res::ID_SOUND_END; ++id)
        EnableMenuItem(id, false);
    if (m_settings.AutoPage().GetKeepAwake()) {
        if (!m_sleepInhibitor)
            m_sleepInhibitor = std::make_unique<platform::LoginSleepInhibitor>();
        m_sleepInhibitor->Hold();
    }
}

void CMainPanel::ShowRecordingStarted()
{
    ShowRecordingLamp();
    m_timePanel->Reset();
    m_levelMeter->SetupTrace(m_recorder->SampleCount(), 16, m_trackInfo.channels - 1);
    m_recordTimer.Start(1000);
    m_meterTimer.Start(100);
    // Through the sound server: its list of sources gives the lamp the source's description
    // (on a later tick, once the server has answered).
    if (!m_recorder->SourceName().empty())
        platform::SoundServer::Watch();
    DescribeLamp();
}

void CMainPanel::RecoverFromFailedStart(float position, const char* sentence)
{
    if (sentence != nullptr)
        platform::ShowMessage(sentence, platform::MessageIcon::Stop);
    m_trackInfo.startSeconds = static_cast<std::uint32_t>(std::max(0.0f, position));
    LoadCurrentFile();
}

void CMainPanel::StopRecording()
{
    EndRecording();
    LoadCurrentFile();
}

void CMainPanel::EndRecording()
{
    // Capture stops after its wait; everything captured until then is encoded and the file is
    // closed. What was dropped is counted up to the stop.
    CWaveRecorder::DroppedInput dropped;
    std::string voiceReport;
    // A stop also cancels an armed recording timer.
    m_schedule->Cancel();
    ShowTimerState();
    if (m_recorder) {
        m_recorder->Stop();
        dropped = m_recorder->Dropped();
        voiceReport = VoiceReport();
        if (platform::UiTrace::Enabled())
            platform::UiTrace::Report("record-overruns", static_cast<double>(m_recorder->Overruns()));
    }
    const std::string path = m_trackInfo.path;
    m_recorder.reset();

    PutBackStoppedControls();
    if (!voiceReport.empty())
        platform::ShowMessage(platform::FormatFileMessage(path, voiceReport), platform::MessageIcon::Information);

    if (dropped.gaps > 0 || !dropped.switches.empty() || !dropped.outages.empty()) {
        if (dropped.gaps > 0)
            LogDropped(path, dropped);
        std::string report = dropped.gaps > 0 ? DroppedSentence(dropped) : std::string();
        for (const CWaveRecorder::InputOutage& outage : dropped.outages) {
            std::fprintf(stderr, "dravellin-recorder: %s: the input was lost at %.1f s of the recording for %.1f s\n",
                         path.c_str(), outage.atSeconds, outage.wallSeconds);
            report += OutageSentence(outage);
        }
        for (const CWaveRecorder::RecordedSwitch& change : dropped.switches)
            report += SwitchSentence(change);
        platform::ShowMessage(platform::FormatFileMessage(path, report), platform::MessageIcon::Information);
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
    m_recordTimer.Stop();
    m_meterTimer.Stop();
    m_startTimer.Stop();
    if (m_showingInputWait) {
        m_showingInputWait = false;
        SetMainWindowTitle(WindowTitleText());
    }
    DescribeLamp();
    if (m_sleepInhibitor)
        m_sleepInhibitor->Release();
}

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
        JumpToStart();
        m_timePanel->Reset();
        StopPlaying();
        return;
    }
    SchedulePlayTick(position);
}

void CMainPanel::OnRecordTick()
{
    if (!m_recorder)
        return;
    if (m_recorder->WriteFailed()) {
        StopRecordingWithMessage(kWriteFailedSentence);
        return;
    }
    if (FollowRecorderInput())
        return;  // the time display holds while the input is away
    ShowRecordedTime();
    DescribeLamp();
    const int total = m_timePanel->GetSeconds() + static_cast<int>(m_trackInfo.startSeconds);
    m_infoPanel->ShowSize(m_recordFile.GetSizeKB(), FormatTime(total));
    m_slider->SetPos(total > 0 ? Truncate(m_trackInfo.startSeconds * 1000.0 / total) : 0);
}

void CMainPanel::OnMeterTick()
{
    if (!m_recorder)
        return;
    if (m_recorder->WriteFailed()) {
        StopRecordingWithMessage(kWriteFailedSentence);
        return;
    }
    if (FollowRecorderInput())
        return;
    if (const std::int16_t* samples = m_recorder->LastBuffer())
        m_levelMeter->DrawSamples(samples);
    ShowRecordingLamp();
}

bool CMainPanel::FollowRecorderInput()
{
    const bool waiting = m_recorder->FollowInput();
    if (waiting == m_showingInputWait)
        return waiting;
    m_showingInputWait = waiting;
    m_lamp->SetState(waiting ? LAMP_WAIT : LAMP_RECORD);
    SetMainWindowTitle(waiting ? WindowTitleText() + " (запись ждёт звуковой вход)" : WindowTitleText());
    if (waiting)
        m_levelMeter->Clear();
    DescribeLamp();
    return waiting;
}

void CMainPanel::StopRecordingWithMessage(const char* sentence)
{
    const std::string path = m_trackInfo.path;
    EndRecording();
    platform::ShowMessage(platform::FormatFileMessage(path, sentence), platform::MessageIcon::Stop);
    LoadCurrentFile();
}

void CMainPanel::ShowOutputLost()
{
    // Stop as at the end of the file, but keep the place: a fresh player (with a fresh output
    // device) is loaded there, so Space plays on once the sound is back.
    const std::string path = m_trackInfo.path;
    const float position = m_mp3Player->GetPosition();
    StopPlaying();
    platform::ShowMessage(platform::FormatFileMessage(path, kOutputLostSentence),
                          platform::MessageIcon::Stop);
    m_trackInfo.startSeconds = static_cast<std::uint32_t>(std::max(0.0f, position));
    LoadCurrentFile();
}
