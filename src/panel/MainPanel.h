#pragma once
// The main panel: the frame's only child window and the place where every command ends up.
//
// It owns the current-file object, at most one player and at most one recorder (never both),
// every control and the settings sheet, and keeps buttons, lamp, time display, format and size
// line, level meter, slider, the "Звук" menu and the window title in step with what the program
// is doing: nothing, playing the current file or recording into it.
//
// Constructing the object constructs the settings pages, which read their settings; the window
// itself is made by Create, which builds the controls, applies "AlwaysOnTop" and carries out the
// start-up action. Everything here runs on the user-interface thread.

#include <memory>
#include <string>
#include <vector>

#include <wx/timer.h>
#include <wx/window.h>

#include "engine/TrackInfo.h"
#include "engine/record/VoiceGate.h"
#include "files/Clock.h"
#include "files/RecordFile.h"
#include "platform/SleepInhibitor.h"
#include "platform/UiTicker.h"
#include "panel/RecordTimer.h"
#include "settings/MySheet.h"

class CMp3Player;
class CWaveRecorder;
class CKeepBeforeInput;
struct SecondSourceOptions;
struct KeptInput;
struct RecordingPiece;
namespace platform {
class FileSync;
}
class CStatusLamp;
class CTimePanel;
class CInfoPanel;
class CLevelMeter;
class CPanelButton;
class CSeekSlider;
class wxStaticBox;
class wxScrollEvent;
class wxMenuBar;

class CMainPanel : public wxWindow {
public:
    CMainPanel();
    ~CMainPanel() override;

    // Creates the panel window at (0, 0, 314, 152) of parent and runs its creation steps.
    // False when the window could not be created.
    bool Create(wxWindow* parent);

    // A file (full path) that the panel's creation opens instead of carrying out the start-up
    // action, exactly as if it had been chosen in the open dialog. Empty: none. Call before Create.
    void SetStartupFile(const std::string& path) { m_startupFile = path; }
    // The clock the recording timer follows (the system's by default). Call before Create.
    void SetClock(std::shared_ptr<CClock> clock);
    // What puts recordings on the disk (the real syncs by default); tests slow it down or make
    // it fail. Applies from the next recording.
    void SetFileSync(std::shared_ptr<platform::FileSync> sync) { m_fileSync = std::move(sync); }

    // The transport commands (also reached through the command table).
    void OnRecord();
    void OnPlay();
    void StopRecording();
    // The window is closing: stops a recording as the program's end does (everything captured
    // is written), waits a bounded time for the writers and tells what failed, in a message
    // when attended, otherwise on the next start. Before the window goes.
    void CloseRecording(bool attended);
    void StopPlaying();
    void OnNewFile();
    void OnOpenFile();
    // The open command's work once a file has been chosen: current file, "LastFile", load at
    // its start.
    void OpenChosenFile(const std::string& path);
    void LoadCurrentFile();
    void ShowSettingsFormat();
    void OnSettings();
    void ToggleAlwaysOnTop();
    void OnEnterKey();
    void OnSpaceKey();
    void OnRecordLevel();
    void OnVolume();
    void OnWebSite();
    void OnEmail();
    // The "Таймер" command: the timer dialog, then arms or cancels the recording timer.
    void OnTimerCommand();

    // Position commands; each does nothing while no player exists.
    void JumpToStart();
    void JumpToEnd();
    void StepBack();
    void StepForward();

    // Slider messages, with the scroll codes of a horizontal trackbar (named apart from the
    // SB_ macros of windows.h, which the toolkit brings in on Windows).
    enum ScrollCode {
        kScrollLineLeft = 0,
        kScrollLineRight = 1,
        kScrollPageLeft = 2,
        kScrollPageRight = 3,
        kScrollThumbPosition = 4,
        kScrollThumbTrack = 5
    };
    void OnSliderScroll(int code, int thumbPosition);

    // Read-only views for tests and the frame.
    const TrackInfo& Track() const { return m_trackInfo; }
    CMp3Player* Player() const { return m_mp3Player.get(); }
    CWaveRecorder* Recorder() const { return m_recorder.get(); }
    CRecordFile& RecordFile() { return m_recordFile; }
    CMySheet& Settings() { return m_settings; }
    CStatusLamp* Lamp() const { return m_lamp; }
    CTimePanel* TimePanel() const { return m_timePanel; }
    CInfoPanel* InfoPanel() const { return m_infoPanel; }
    CLevelMeter* LevelMeter() const { return m_levelMeter; }
    CSeekSlider* Slider() const { return m_slider; }
    CPanelButton* NewButton() const { return m_newButton; }
    CPanelButton* RecordButton() const { return m_recordButton; }
    CPanelButton* PlayButton() const { return m_playButton; }
    CPanelButton* OpenButton() const { return m_openButton; }
    CPanelButton* RecLevelButton() const { return m_recLevelButton; }
    CPanelButton* VolumeButton() const { return m_volumeButton; }
    bool IsTimerRunning(int timerId) const;
    const CRecordTimer& RecordingTimer() const { return *m_schedule; }

private:
    int OnCreate();
    void CreateControls();
    wxMenuBar* MenuBar() const;
    wxWindow* MainWindow() const;
    void SetMainWindowTitle(const std::string& utf8Title);
    void SetMenuText(int id, const char* utf8Text);
    void DescribeButtons();
    // The lamp names the source being recorded, or the one the next recording will use.
    void DescribeLamp();
    void EnableMenuItem(int id, bool enable);
    void ApplyAlwaysOnTop(bool onTop);
    void DestroyPlayer();
    // The stop command without its reload: stops the recorder (everything captured is then
    // written and synced without the window waiting), puts buttons, lamp, menu and timers back
    // and tells about dropped input. failureTold: a failed write was shown already.
    void EndRecording(bool failureTold = false);
    // Follows a stopped recorder until its writer has finished: loads the file if that waits
    // for it; a failed last sync is told (KeepStopped).
    void FollowSaving(std::shared_ptr<CWaveRecorder> stopped, bool failureTold);
    // Hands a stopped recorder to the pending writes, and follows them on the save timer until
    // every failure among them has been told.
    void KeepStopped(std::shared_ptr<CWaveRecorder> stopped, bool failureTold);
    // Loads the file once the stopped recording has written everything (at once, nearly
    // always); otherwise says it is saving and loads it on a later tick.
    void LoadWhenWritten();
    void OnSaveTick();
    // A recording that cannot go on (the file takes no more audio, or the sound input went
    // away): stop as the stop command does, so everything captured is written and the file ends
    // on a whole frame, show the sentence for the file with the stop icon, and reload the file.
    // The next Enter tries again.
    void StopRecordingWithMessage(const char* sentence, bool failureTold = false);
    // The sound output went away: stop, say so, and reload the file where it stopped.
    void ShowOutputLost();
    // A recording that could not start: say why (unless the recorder did) and reload the file
    // at the position it had, so the panel has its player and true displays again.
    void RecoverFromFailedStart(float position, const char* sentence);

    // Timer ticks.
    void OnPlayTick();
    // The recording and meter ticks' common part: a failed write stops the recording, a lost
    // input is followed. True when the recording runs on with its input.
    bool FollowRecording();
    // True when the tick did more than draw (see OnMeterTick).
    bool OnRecordTick();
    // True when the tick did more than draw the meter (the recording stopped, its input went or
    // came back, it went on into a new file, the lamp changed).
    bool OnMeterTick();
    // While the sound input opens in the background: starts the recording once it is open, or
    // says why it could not be.
    void OnStartTick();
    // While the sound output opens in the background: plays once it is open; otherwise puts
    // the stopped controls back (the player has said why).
    void PollPlayStart();
    // The sound runs: lamp and the play tick.
    void ShowPlayingStarted();
    // The play tick comes next just after the position passes its next whole second.
    void SchedulePlayTick(float position);
    // Follows the recording timer: starts and stops the timed recording.
    void OnScheduleTick();
    // The timer's start has come: a recording into the current file or a new one.
    void StartTimedRecording();
    // Lamp, title and the schedule tick as the recording timer stands.
    void ShowTimerState();
    // The title as loaded, with the armed timer's start time after it.
    void ShowTimerInTitle();
    // The lamp while nothing is recorded or played: armed when a timer waits, else stopped.
    int IdleLampState() const;
    // Voice activation's settings for the next recording, none when it is off.
    std::optional<VoiceGateSettings> VoiceGateOptions() const;
    // While recording: the listening dot while voice activation writes nothing, else the disc.
    void ShowRecordingLamp();
    // The time display's second: what was written with voice activation, else one more second.
    void ShowRecordedTime();
    // After a voice-activated recording: how many bursts were written, and for how long.
    std::string VoiceReport() const;
    // Opens or closes the input kept open before Record, as the setting and the state want:
    // open while a file is loaded and nothing plays or records.
    void UpdateKeepBefore();
    void OnKeepTick();
    void CloseKeepBefore();
    // Gives the kept input (as it runs) and what it held, to the recording about to start.
    std::shared_ptr<KeptInput> TakeKeepBefore();
    // The lamp's words while the input is kept open.
    std::string KeepBeforeNote() const;
    // The lamp's words while a timer is armed.
    std::string TimerNote() const;
    // Follows a lost input while recording (the recorder waits and opens it again); while it
    // waits: the lamp's waiting picture, the title says so, the level meter is dark. True then.
    bool FollowRecorderInput();
    // The recording runs: lamp, time display, level meter and their timers.
    void ShowRecordingStarted();
    // The panel as while recording, before the input is open: the record button stops.
    void ShowRecordingControls();
    // Buttons, lamp, menu and timers back as when stopped.
    void PutBackStoppedControls();
    // The recording could not start: drop the recorder, say why, reload the file.
    void FailStart();
    // A recording in pieces (MainPanelSplit): the start's clock hour; then, on every tick,
    // follows a switch to the next file (title, "LastFile", time and size) and, when a split is
    // due, hands the recorder its next file. False when that failed and the recording ended.
    void StartSplitting();
    bool FollowSplit();
    // Makes the latest file of the recording the current one, when the window has not yet.
    void FollowPieces(const std::vector<RecordingPiece>& pieces);
    bool SplitDue();
    // The second source chosen on the Sources page, for the next recording; none when there is
    // none.
    std::optional<SecondSourceOptions> SecondSourceOptionsFor() const;

    // Event handlers of the command table.
    void OnTimerEvent(wxTimerEvent& event);
    void OnCommand(wxCommandEvent& event);
    void OnScroll(wxScrollEvent& event);

    TrackInfo m_trackInfo;
    CRecordFile m_recordFile;
    std::unique_ptr<CMp3Player> m_mp3Player;
    std::unique_ptr<CWaveRecorder> m_recorder;
    // The last stopped recorder, followed until its writer has finished.
    std::shared_ptr<CWaveRecorder> m_saving;
    // The file is loaded once the stopped recording has written it.
    bool m_reloadPending = false;
    std::shared_ptr<platform::FileSync> m_fileSync;
    // Held from Record until the recording ends, when the Record page asks for it.
    std::unique_ptr<platform::SleepInhibitor> m_sleepInhibitor;
    // The panel shows that the recording waits for its lost input.
    bool m_showingInputWait = false;
    // The controls are child windows, owned and destroyed by this window.
    CStatusLamp* m_lamp = nullptr;
    CTimePanel* m_timePanel = nullptr;
    CInfoPanel* m_infoPanel = nullptr;
    CLevelMeter* m_levelMeter = nullptr;
    wxStaticBox* m_buttonFrame = nullptr;
    CPanelButton* m_newButton = nullptr;
    CPanelButton* m_recordButton = nullptr;
    CPanelButton* m_playButton = nullptr;
    CPanelButton* m_openButton = nullptr;
    CPanelButton* m_recLevelButton = nullptr;
    CPanelButton* m_volumeButton = nullptr;
    wxStaticBox* m_sliderFrame = nullptr;
    CSeekSlider* m_slider = nullptr;
    CMySheet m_settings;
    // The recording clock's tick: it draws the time, the size line and the slider, so it does
    // not wake the toolkit's idle processing either.
    platform::UiTicker m_recordTicker;
    wxTimer m_playTimer;
    // The level meter's tick: it only draws, so it does not wake the toolkit's idle processing.
    platform::UiTicker m_meterTicker;
    wxTimer m_startTimer;
    wxTimer m_scheduleTimer;
    // Polls the input kept open before Record while it opens and runs.
    wxTimer m_keepTimer;
    // Follows a stopped recording's writer.
    wxTimer m_saveTimer;
    std::shared_ptr<CClock> m_clock;
    std::unique_ptr<CRecordTimer> m_schedule;
    // What ShowTimerInTitle last put after the title.
    std::string m_titleSuffix;
    // The files of the recording under way that the window follows, and the clock hour of its
    // last split (or its start).
    std::size_t m_piecesFollowed = 1;
    long long m_splitHour = 0;
    // The recording under way has voice activation.
    bool m_voiceActivated = false;
    // The input kept open before Record, and the source it was opened on.
    std::unique_ptr<CKeepBeforeInput> m_keeper;
    std::string m_keeperSource;
    // Where playback stood when Record was pressed, for a recording that cannot start.
    float m_positionBeforeRecord = 0.0f;
    bool m_alwaysOnTop = false;
    std::string m_startupFile;

    wxDECLARE_EVENT_TABLE();
};

// Timer ids of the panel's three ticks.
inline constexpr int kPlayTimerId = 3;
inline constexpr int kRecordTimerId = 4;
inline constexpr int kMeterTimerId = 5;
// Polls a recording's sound input while it opens (only then).
inline constexpr int kStartTimerId = 6;
// Follows the recording timer (while one is armed or running).
inline constexpr int kScheduleTimerId = 7;
// Polls the input kept open before Record.
inline constexpr int kKeepTimerId = 8;
// Follows a stopped recording until its file is written and closed.
inline constexpr int kSaveTimerId = 9;
