// The transport controller's recording: Record and its stop, the input that opens in the
// background, the ticks that follow a running recording, and the saving that goes on after it.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "controls/FormatTime.h"
#include "controls/InfoPanel.h"
#include "controls/LevelMeter.h"
#include "controls/PanelButton.h"
#include "controls/SeekSlider.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/AudioInputFactory.h"
#include "engine/record/PendingWrites.h"
#include "engine/record/WaveRecorder.h"
#include "panel/MainPanel.h"
#include "panel/RecordingReport.h"
#include "panel/SavingFailures.h"
#include "panel/WindowTitle.h"
#include "platform/LoginSleepInhibitor.h"
#include "platform/MessageBox.h"
#include "platform/SoundServer.h"
#include "platform/UiTrace.h"
#include "res/ResourceIds.h"

namespace {

// Truncation toward zero of a non-negative float quotient, as the slider's scale needs it.
int Truncate(double value) { return static_cast<int>(value); }

// How long the window lets the last buffers of a stopped recording be written before it loads
// the file: they are a few tenths of a second of sound handed to the system's cache, which
// takes milliseconds. A disk that holds up writes is not waited for beyond this: the window
// goes on, says it is saving and loads the file once written.
constexpr std::chrono::milliseconds kWrittenWait{200};

WaveFormat MonoFormat(std::uint32_t rate) { return PcmFormat(rate, 1); }

// The source a stored choice records: its name, or for the default entry the server's default
// input (PULSE_SOURCE when set, as the stream itself takes it).
std::string RecordedSourceName(const std::string& chosen)
{
    if (!chosen.empty())
        return chosen;
    const char* environment = std::getenv("PULSE_SOURCE");
    return environment != nullptr && *environment != '\0' ? environment : platform::SoundServer::Default();
}
WaveFormat StereoFormat(std::uint32_t rate) { return PcmFormat(rate, 2); }

}  // namespace

void CMainPanel::OnRecord()
{
    platform::UiTrace trace(m_recorder ? "record-stop" : "record-start");
    SetFocus();
    if (m_recorder) {
        StopRecording();
        return;
    }
    if (m_reloadPending)
        return;  // the last recording is still being written; the title says so
    if (!m_mp3Player) {
        OnNewFile();
        if (!m_mp3Player)
            return;
    }
    const std::string second = m_settings.SourcesPage().GetSecondSource();
    if (!second.empty() && second == RecordedSourceName(m_settings.SourcesPage().GetSource())) {
        // Nothing is recorded, and the settings stay as they are.
        platform::ShowMessage(report::SameSources(CPageSrc::SourceLabel(second)), platform::MessageIcon::Stop);
        return;
    }
    if (CPendingWrites::Get().Busy(m_trackInfo.path)) {
        // The file is still open for its last sync: it is never opened twice for writing.
        platform::ShowMessage(platform::FormatFileMessage(m_trackInfo.path, report::kStillSaving),
                              platform::MessageIcon::Stop);
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
        options.fileSync = m_fileSync;
        options.second = SecondSourceOptionsFor();
        m_voiceActivated = options.voiceGate.has_value();
        // The input kept open before Record, as it runs, and the seconds it kept.
        options.kept = TakeKeepBefore();
        m_recorder = std::make_unique<CWaveRecorder>(std::move(options));
        prepared = m_recorder->Prepare(m_trackInfo);
    }
    if (!prepared) {
        // The writer has said why; a file it opened is closed without the window waiting.
        m_recorder->Stop();
        KeepStopped(std::shared_ptr<CWaveRecorder>(std::move(m_recorder)), false);
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
    const bool secondFailed = m_recorder->SecondSourceFailed();
    // Nothing was captured: what is left to do is closing the file, which is handed on.
    m_recorder->Stop();
    KeepStopped(std::shared_ptr<CWaveRecorder>(std::move(m_recorder)), false);
    if (failure == CWaveRecorder::StartFailure::SourceMissing) {
        const CPageSrc& page = m_settings.SourcesPage();
        const std::string sentence =
            report::SourceMissing(CPageSrc::SourceLabel(secondFailed ? page.GetSecondSource() : page.GetSource()));
        RecoverFromFailedStart(m_positionBeforeRecord, sentence.c_str());
        return;
    }
    if (failure == CWaveRecorder::StartFailure::Format) {
        RecoverFromFailedStart(m_positionBeforeRecord, report::kFormatRefused);
        return;
    }
    // A chosen source that is there and still cannot be opened is named.
    const CPageSrc& page = m_settings.SourcesPage();
    const std::string source = secondFailed ? page.GetSecondSource() : page.GetSource();
    const std::string sentence = source.empty() ? std::string(report::kNoInputDevice)
                                                : report::CannotOpen(CPageSrc::SourceLabel(source));
    RecoverFromFailedStart(m_positionBeforeRecord, sentence.c_str());
}

std::optional<SecondSourceOptions> CMainPanel::SecondSourceOptionsFor() const
{
    const std::string second = m_settings.SourcesPage().GetSecondSource();
    if (second.empty())
        return std::nullopt;
    SecondSourceOptions options;
    // Only through the sound server's own client: no other device stands in for it.
    options.makeDevice = [second] {
        auto device = MakeDefaultAudioInput(second);
        device->RequireServer();
        return device;
    };
    // Taken in its own format (rate and channels, at most two), as the server describes it.
    options.format = m_trackInfo.channels == 2 ? StereoFormat(m_trackInfo.sampleRate) : MonoFormat(m_trackInfo.sampleRate);
    for (const platform::SoundSource& source : platform::SoundServer::List())
        if (source.name == second && source.rate > 0)
            options.format = source.channels >= 2 ? StereoFormat(source.rate) : MonoFormat(source.rate);
    options.apart = m_settings.SourcesPage().GetSourcesApart() && m_trackInfo.channels == 2;
    return options;
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
    StartSplitting();
    ShowRecordingLamp();
    m_timePanel->Reset();
    m_levelMeter->SetupTrace(m_recorder->SampleCount(), 16, m_trackInfo.channels - 1);
    m_recordTicker.Start(1000);
    m_meterTicker.Start(100);
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
    LoadWhenWritten();
}

void CMainPanel::EndRecording(bool failureTold)
{
    // Capture stops after its wait; the writer then encodes and writes what is left and puts it
    // on the disk on threads of its own, which the window does not wait for. What was dropped is
    // counted up to the stop.
    CWaveRecorder::DroppedInput dropped;
    std::vector<CWaveRecorder::Piece> pieces;
    std::string voiceReport;
    // A stop also cancels an armed recording timer.
    m_schedule->Cancel();
    ShowTimerState();
    if (m_recorder) {
        m_recorder->Stop();
        dropped = m_recorder->Dropped();
        pieces = m_recorder->Pieces();
        FollowPieces(pieces);
        voiceReport = VoiceReport();
        if (platform::UiTrace::Enabled())
            platform::UiTrace::Report("record-overruns", static_cast<double>(m_recorder->Overruns()));
        FollowSaving(std::shared_ptr<CWaveRecorder>(std::move(m_recorder)), failureTold);
    }
    const std::string path = m_trackInfo.path;

    PutBackStoppedControls();
    if (!voiceReport.empty())
        platform::ShowMessage(platform::FormatFileMessage(path, voiceReport), platform::MessageIcon::Information);
    if (pieces.size() > 1) {
        // A recording in pieces: every file it wrote, each with what it lacks.
        report::LogPieces(pieces, dropped);
        platform::ShowMessage(report::AfterSplitRecording(pieces, dropped), platform::MessageIcon::Information);
        return;
    }
    const std::string text = report::AfterRecording(dropped);
    report::Log(path, dropped);
    if (!text.empty())
        platform::ShowMessage(platform::FormatFileMessage(path, text), platform::MessageIcon::Information);
}

void CMainPanel::FollowSaving(std::shared_ptr<CWaveRecorder> stopped, bool failureTold)
{
    KeepStopped(stopped, failureTold);
    m_saving = std::move(stopped);
}

void CMainPanel::KeepStopped(std::shared_ptr<CWaveRecorder> stopped, bool failureTold)
{
    CPendingWrites::Get().Keep(std::move(stopped), failureTold);
    if (!m_saveTimer.IsRunning())
        m_saveTimer.Start(50);
}

void CMainPanel::CloseRecording(bool attended)
{
    m_saveTimer.Stop();
    m_startTimer.Stop();
    m_saving.reset();
    m_reloadPending = false;
    if (m_recorder) {
        // Everything captured is written; whatever fails on the way is told below.
        m_recorder->Stop();
        CPendingWrites::Get().Keep(std::shared_ptr<CWaveRecorder>(std::move(m_recorder)));
    }
    CSavingFailures::AtClose(attended);
}

void CMainPanel::LoadWhenWritten()
{
    const auto deadline = std::chrono::steady_clock::now() + kWrittenWait;
    while (m_saving && !m_saving->Written() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (m_saving && !m_saving->Written()) {
        m_reloadPending = true;
        SetMainWindowTitle(WindowTitleText() + " (сохраняется на диск)");
        return;
    }
    LoadCurrentFile();
}

void CMainPanel::OnSaveTick()
{
    if (m_saving && m_reloadPending && m_saving->Written()) {
        m_reloadPending = false;
        SetMainWindowTitle(WindowTitleText());
        LoadCurrentFile();
    }
    if (m_saving && m_saving->Finished())
        m_saving.reset();
    // Every stopped recording whose last writes failed is told, this one's and any earlier
    // one's, also while another recording runs.
    CSavingFailures::ShowFound();
    if (!m_saving && CPendingWrites::Get().Idle())
        m_saveTimer.Stop();
}

bool CMainPanel::FollowRecording()
{
    if (!m_recorder || !FollowSplit())
        return false;
    if (m_recorder->WriteFailed()) {
        StopRecordingWithMessage(report::kWriteFailed, true);
        return false;
    }
    // While the input is away the time display holds and the meter stays dark.
    return !FollowRecorderInput();
}

bool CMainPanel::OnRecordTick()
{
    const std::size_t pieces = m_piecesFollowed;
    const bool waiting = m_showingInputWait;
    if (!FollowRecording())
        return true;
    ShowRecordedTime();
    DescribeLamp();
    const int total = m_timePanel->GetSeconds() + static_cast<int>(m_trackInfo.startSeconds);
    m_infoPanel->ShowSize(m_recordFile.GetSizeKB(), FormatTime(total));
    m_slider->SetPos(total > 0 ? Truncate(m_trackInfo.startSeconds * 1000.0 / total) : 0);
    return pieces != m_piecesFollowed || waiting != m_showingInputWait;
}

bool CMainPanel::OnMeterTick()
{
    const std::size_t pieces = m_piecesFollowed;
    const bool waiting = m_showingInputWait;
    if (!FollowRecording())
        return true;
    if (const std::int16_t* samples = m_recorder->LastBuffer())
        m_levelMeter->DrawSamples(samples);
    const int lamp = m_lamp->GetState();
    ShowRecordingLamp();
    return pieces != m_piecesFollowed || waiting != m_showingInputWait || lamp != m_lamp->GetState();
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

void CMainPanel::StopRecordingWithMessage(const char* sentence, bool failureTold)
{
    // A failed write names its file (of a recording in pieces, maybe an earlier one).
    const std::string failed = m_recorder ? m_recorder->FailedPath() : std::string();
    const std::string path = failed.empty() ? m_trackInfo.path : failed;
    EndRecording(failureTold);
    platform::ShowMessage(platform::FormatFileMessage(path, sentence), platform::MessageIcon::Stop);
    LoadWhenWritten();
}
