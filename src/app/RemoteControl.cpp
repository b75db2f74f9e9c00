#include "app/RemoteControl.h"

#include <algorithm>
#include <functional>

#include <wx/app.h>
#include <wx/modalhook.h>

#include "app/MainFrame.h"
#include "app/TrayIcon.h"
#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/MainPanel.h"
#include "platform/ProfileKeys.h"

namespace {

using platform::RemoteCommand;

// How often the state is compared with what the bus and the icon last showed.
constexpr int kWatchMs = 250;
// A recording's input that opens in the background is followed this often, this many times.
constexpr int kStartPollMs = 20;
constexpr int kStartPolls = 200;

// Counts the modal dialogs open in this program (message boxes, the settings, the timer, the
// file dialogs): while one is, a key in the main window does nothing.
class ModalCount : public wxModalDialogHook {
public:
    ModalCount() { Register(); }
    // Called as each dialog closes (the settings may have changed).
    std::function<void()> onClose;
    ~ModalCount() override { Unregister(); }
    bool Any() const { return m_open > 0; }

protected:
    int Enter(wxDialog*) override
    {
        ++m_open;
        return wxID_NONE;
    }
    void Exit(wxDialog*) override
    {
        --m_open;
        if (onClose)
            onClose();
    }

private:
    int m_open = 0;
};

ModalCount* g_modals = nullptr;

// "path\nsentence" as one line.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    return text;
}

}  // namespace

CRemoteControl::CRemoteControl(CMainFrame* frame, std::unique_ptr<platform::CommandBus> bus)
    : m_frame(frame),
      m_bus(std::move(bus)),
      m_hotkey([this] { Post(RemoteCommand::Toggle); }),
      m_watchTimer(this),
      m_startTimer(this)
{
    if (g_modals == nullptr)
        g_modals = new ModalCount;
    // The settings' "TrayIcon" and "Hotkey" may have changed: looked at once the dialog has gone.
    g_modals->onClose = [this] {
        CallAfter([this] {
            UpdateTrayIcon();
            UpdateHotkey(true);
        });
    };
    Bind(wxEVT_TIMER, &CRemoteControl::OnWatchTick, this, m_watchTimer.GetId());
    Bind(wxEVT_TIMER, &CRemoteControl::OnStartTick, this, m_startTimer.GetId());
    m_frame->Bind(wxEVT_CLOSE_WINDOW, &CRemoteControl::OnFrameClose, this);
    m_frame->Bind(wxEVT_ICONIZE, &CRemoteControl::OnFrameIconize, this);
}

CRemoteControl::~CRemoteControl()
{
    if (m_frame != nullptr) {
        m_frame->Unbind(wxEVT_CLOSE_WINDOW, &CRemoteControl::OnFrameClose, this);
        m_frame->Unbind(wxEVT_ICONIZE, &CRemoteControl::OnFrameIconize, this);
    }
    m_watchTimer.Stop();
    m_startTimer.Stop();
    g_modals->onClose = nullptr;
    StopCapturing();
    m_queue.clear();
    m_tray.reset();
}

void CRemoteControl::Start(bool recordFirst)
{
    if (recordFirst)
        Enqueue({RemoteCommand::Record, {}, nullptr, false});
    if (m_bus)
        m_bus->Serve([this](RemoteCommand command, const std::string& argument,
                            std::shared_ptr<platform::CommandBus::Call> call) {
            Enqueue({command, argument, std::move(call), true});
        },
                     [this] { return State(); });
    // The notification area's icon comes once the main loop runs: creating it asks the shell's
    // tray host (on Windows Shell_NotifyIcon, under Wine a round trip to its desktop process),
    // which would hold up the window's first showing by tens of milliseconds.
    CallAfter([this] { UpdateTrayIcon(); });
    UpdateHotkey(false);
    // Nothing to follow the state for without a bus or an icon: the loop is not woken for it.
    if (m_bus && !m_watchTimer.IsRunning())
        m_watchTimer.Start(kWatchMs);
}

void CRemoteControl::Post(RemoteCommand command) { Enqueue({command, {}, nullptr, false}); }

void CRemoteControl::Enqueue(Pending pending)
{
    if (m_running && pending.call && g_modals->Any()) {
        // The command before is waiting on a dialog it opened (the save dialog of a record at
        // start): this one would wait for the user, and be carried out after its sender gave
        // up. It is answered now, as the same key would be treated: the dialog has it.
        if (pending.command == RemoteCommand::Activate) {
            ShowWindow();
            pending.call->Done();
        } else {
            pending.call->Refuse("busy: a dialog is open", true);
        }
        return;
    }
    m_queue.push_back(std::move(pending));
    // Never inside the caller's stack (a bus dispatch or a menu): the window is handled from
    // the main loop, as a key press would be.
    if (m_queue.size() == 1 && !m_running)
        CallAfter([this] { RunNext(); });
}

void CRemoteControl::RunNext()
{
    while (!m_running && !m_queue.empty()) {
        if (m_frame == nullptr) {
            m_queue.clear();  // each unanswered call is refused as the program closes
            return;
        }
        m_running = true;
        if (!Execute(m_queue.front()))
            return;  // OnStartTick finishes it
        Finish(m_queue.front());
    }
}

bool CRemoteControl::IsRecording() const { return m_frame->Panel()->Recorder() != nullptr; }

bool CRemoteControl::IsPlaying() const
{
    CMp3Player* player = m_frame->Panel()->Player();
    return player != nullptr && player->IsPlaying();
}

bool CRemoteControl::Execute(Pending& pending)
{
    CMainPanel* panel = m_frame->Panel();
    if (pending.command == RemoteCommand::Activate) {
        ShowWindow();
        return true;
    }
    pending.wantRecording = pending.command == RemoteCommand::Record ||
                            (pending.command == RemoteCommand::Toggle && !IsRecording());
    const bool changes = pending.command == RemoteCommand::Open ||
                         pending.wantRecording != IsRecording() || (!pending.wantRecording && IsPlaying());
    if (!changes)
        return true;  // already as asked
    if (g_modals->Any()) {
        // The key would go to the dialog: nothing is done.
        pending.busy = true;
        return true;
    }
    m_messages.clear();
    m_previousSink = platform::SetMessageSink(
        [this](const std::string& text, platform::MessageIcon icon) { m_messages.emplace_back(text, icon); });
    m_capturing = true;
    if (pending.command == RemoteCommand::Open) {
        panel->OpenChosenFile(pending.argument);
        ShowWindow();
        return true;
    }
    if (!pending.wantRecording) {
        // Enter stops a recording; Space stops playing.
        if (IsRecording())
            panel->OnEnterKey();
        else
            panel->OnSpaceKey();
        return true;
    }
    if (pending.fromBus && panel->Player() == nullptr)
        return true;  // no current file: refused rather than a save dialog on a window out of sight
    if (IsPlaying())
        panel->OnSpaceKey();  // the record key does nothing while playing: stop first
    panel->OnEnterKey();
    if (IsRecording() && panel->IsTimerRunning(kStartTimerId)) {
        m_startPolls = 0;
        m_startTimer.Start(kStartPollMs);
        return false;
    }
    return true;
}

void CRemoteControl::OnStartTick(wxTimerEvent&)
{
    if (m_frame != nullptr && IsRecording() && m_frame->Panel()->IsTimerRunning(kStartTimerId) &&
        ++m_startPolls < kStartPolls)
        return;
    m_startTimer.Stop();
    if (!m_queue.empty() && m_running)
        Finish(m_queue.front());
    RunNext();
}

void CRemoteControl::StopCapturing()
{
    if (!m_capturing)
        return;
    platform::SetMessageSink(m_previousSink);
    m_previousSink = nullptr;
    m_capturing = false;
}

void CRemoteControl::Finish(Pending& pending)
{
    StopCapturing();
    std::vector<std::pair<std::string, platform::MessageIcon>> messages;
    messages.swap(m_messages);
    std::string told;
    for (const auto& [text, icon] : messages)
        if (icon != platform::MessageIcon::Information)
            told += (told.empty() ? "" : "; ") + OneLine(text);
    std::string refusal;
    if (pending.busy) {
        refusal = "busy: a dialog is open";
    } else if (m_frame == nullptr) {
        refusal = "the program is closing";
    } else if (pending.command == RemoteCommand::Open) {
        refusal = told;
    } else if (pending.command != RemoteCommand::Activate) {
        if (pending.wantRecording && !IsRecording())
            refusal = "recording is not possible: " +
                      (!told.empty()                           ? told
                       : m_frame->Panel()->Player() == nullptr ? std::string("no current file")
                                                               : std::string("the last recording is still being saved"));
        else if (!pending.wantRecording && (IsRecording() || IsPlaying()))
            refusal = "stopping is not possible" + (told.empty() ? std::string() : ": " + told);
    }
    Answer(pending, refusal, pending.busy);
    m_queue.pop_front();
    m_running = false;
    Notify();
    // What the window would have shown, now that the command has its answer.
    for (const auto& [text, icon] : messages)
        CallAfter([text, icon] { platform::ShowMessage(text, icon); });
}

void CRemoteControl::Answer(Pending& pending, const std::string& refusal, bool busy)
{
    if (pending.call) {
        if (refusal.empty())
            pending.call->Done();
        else
            pending.call->Refuse(refusal, busy);
        pending.call.reset();
    }
}

platform::RemoteState CRemoteControl::State() const
{
    platform::RemoteState state;
    if (m_frame == nullptr)
        return state;
    CMainPanel* panel = m_frame->Panel();
    state.file = panel->RecordFile().GetPath();
    if (IsRecording()) {
        const bool waiting = panel->Lamp()->GetState() == LAMP_WAIT || panel->IsTimerRunning(kStartTimerId);
        state.state = waiting ? "waiting" : "recording";
        state.seconds = static_cast<unsigned>(std::max(0, panel->TimePanel()->GetSeconds()));
    } else if (IsPlaying()) {
        state.state = "playing";
        state.seconds = static_cast<unsigned>(std::max(0.0f, panel->Player()->GetPosition()));
    }
    return state;
}

void CRemoteControl::Notify()
{
    if (m_frame == nullptr)
        return;
    if (m_bus)
        m_bus->StateChanged();
    if (m_tray)
        m_tray->ShowState(State());
}

void CRemoteControl::OnWatchTick(wxTimerEvent&) { Notify(); }

void CRemoteControl::OnFrameClose(wxCloseEvent& event)
{
    // The name is given up at once: a start from now on runs a program of its own instead of
    // handing over to this closing one.
    if (m_bus)
        m_bus->Withdraw();
    m_watchTimer.Stop();
    m_startTimer.Stop();
    StopCapturing();
    m_tray.reset();
    m_frame = nullptr;
    event.Skip();
}

void CRemoteControl::OnFrameIconize(wxIconizeEvent& event)
{
    // With the icon shown, a minimised window goes to the notification area.
    if (event.IsIconized() && m_tray && m_tray->HidesOnMinimise() && m_frame != nullptr)
        CallAfter([this] {
            if (m_frame != nullptr && m_tray)
                m_frame->Hide();
        });
    event.Skip();
}

void CRemoteControl::ShowWindow()
{
    if (m_frame == nullptr)
        return;
    m_frame->Show(true);
    if (m_frame->IsIconized())
        m_frame->Iconize(false);
    m_frame->Raise();
}

void CRemoteControl::ToggleWindow()
{
    if (m_frame == nullptr)
        return;
    if (m_frame->IsShown() && !m_frame->IsIconized())
        m_frame->Hide();
    else
        ShowWindow();
}

void CRemoteControl::UpdateTrayIcon()
{
    if (m_frame == nullptr)
        return;
    if (!CTrayIcon::Wanted()) {
        if (m_tray && m_frame != nullptr && !m_frame->IsShown())
            ShowWindow();
        m_tray.reset();
        return;
    }
    if (!m_tray)
        m_tray = std::make_unique<CTrayIcon>(*this);
    m_tray->ShowState(State());
    if (!m_watchTimer.IsRunning())
        m_watchTimer.Start(kWatchMs);
}

void CRemoteControl::UpdateHotkey(bool tell)
{
    if (!platform::GlobalHotkey::Supported())
        return;
    const std::string wanted = platform::ReadSetting(platform::kHotkey);
    if (wanted == m_hotkeyTried)
        return;  // unchanged (any dialog's close comes here, the message's own among them)
    m_hotkeyTried = wanted;
    if (m_hotkey.Set(wanted) || !tell)
        return;
    platform::ShowMessage("Сочетание клавиш " + wanted +
                              " занято другой программой: запись им не включается. Настройка сохранена; "
                              "выберите другое сочетание или закройте ту программу.",
                          platform::MessageIcon::Exclamation);
}
