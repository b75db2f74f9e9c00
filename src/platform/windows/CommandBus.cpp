// Windows twin of platform/linux/CommandBus.cpp: commands travel as WM_COPYDATA messages between
// message-only windows of our own classes, found by class (never by title). The running program
// owns the mutex "Local\example.dravellin.Recorder" (the Local namespace is the login session's
// own, so another session or user never finds it) and its window of the class
// "example.dravellin.Recorder.Commands"; message-only windows are found only on the caller's own
// desktop. A command carries its code in dwData and its argument as UTF-8; the answer comes back
// the same way to the sender's reply window (WM_COPYDATA's wParam), once it has been carried out.
#include "platform/CommandBus.h"

#include <chrono>
#include <cstdlib>
#include <deque>
#include <string>
#include <tuple>

#include <windows.h>

namespace platform {
namespace {

constexpr const wchar_t* kMutexName = L"Local\\example.dravellin.Recorder";
constexpr const wchar_t* kServerClass = L"example.dravellin.Recorder.Commands";
constexpr const wchar_t* kReplyClass = L"example.dravellin.Recorder.Reply";

// dwData of a request: the command (RemoteCommand's value) or kQuery; of an answer: kDone,
// kRefused or kBusy, with the reason (or the state's lines) as text.
constexpr ULONG_PTR kQuery = 100;
constexpr ULONG_PTR kDone = 200;
constexpr ULONG_PTR kRefused = 201;
constexpr ULONG_PTR kBusy = 202;

// How long the running program waits for a reply window to take its answer.
constexpr UINT kAnswerSendMs = 2000;

bool SendText(HWND to, HWND from, ULONG_PTR code, const std::string& text, UINT timeoutMs)
{
    COPYDATASTRUCT data{};
    data.dwData = code;
    data.cbData = static_cast<DWORD>(text.size());
    data.lpData = const_cast<char*>(text.data());
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                                 SMTO_ABORTIFHUNG, timeoutMs, &result) != 0 &&
           result != 0;
}

std::string TextOf(const COPYDATASTRUCT* data)
{
    return data->lpData != nullptr ? std::string(static_cast<const char*>(data->lpData), data->cbData)
                                   : std::string();
}

// The answer a reply window received.
struct Answer {
    bool received = false;
    ULONG_PTR code = 0;
    std::string text;
};

LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        auto* answer = reinterpret_cast<Answer*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (answer != nullptr && !answer->received) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            answer->received = true;
            answer->code = data->dwData;
            answer->text = TextOf(data);
        }
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClassOnce(const wchar_t* name, WNDPROC proc)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    ::RegisterClassExW(&windowClass);  // a second registration fails harmlessly
}

}  // namespace

struct CommandBus::Impl {
    HANDLE mutex = nullptr;
    HWND server = nullptr;
    Handler handler;
    StateSource state;
    std::deque<std::tuple<RemoteCommand, std::string, std::shared_ptr<Call>>> held;

    RemoteState Current() const { return state ? state() : RemoteState{}; }

    static LRESULT CALLBACK ServerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_COPYDATA)
            return ::DefWindowProcW(window, message, wParam, lParam);
        auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const HWND reply = reinterpret_cast<HWND>(wParam);
        if (self == nullptr || data == nullptr)
            return FALSE;
        if (data->dwData == kQuery) {
            const RemoteState current = self->Current();
            const std::string text = current.state + "\n" + std::to_string(current.seconds) + "\n" + current.file;
            // Answered after this message returns: the sender is still inside its send.
            ::PostMessageW(window, WM_APP, 0, 0);
            self->queries.emplace_back(reply, text);
            return TRUE;
        }
        if (data->dwData > static_cast<ULONG_PTR>(RemoteCommand::Open))
            return FALSE;
        const auto command = static_cast<RemoteCommand>(data->dwData);
        auto call = std::make_shared<Call>(reinterpret_cast<void*>(reply));
        if (self->handler)
            self->handler(command, TextOf(data), std::move(call));
        else
            self->held.emplace_back(command, TextOf(data), std::move(call));
        return TRUE;
    }

    // Queries answered once the message that asked has returned.
    std::deque<std::pair<HWND, std::string>> queries;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_APP) {
            auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
            while (self != nullptr && !self->queries.empty()) {
                auto [reply, text] = std::move(self->queries.front());
                self->queries.pop_front();
                SendText(reply, window, kDone, text, kAnswerSendMs);
            }
            return 0;
        }
        return ServerProc(window, message, wParam, lParam);
    }

    void Close()
    {
        held.clear();
        if (server != nullptr)
            ::DestroyWindow(server);
        server = nullptr;
        if (mutex != nullptr) {
            ::ReleaseMutex(mutex);
            ::CloseHandle(mutex);
        }
        mutex = nullptr;
    }
};

// The Call's handle is the sender's reply window; the answer goes there.
CommandBus::Call::Call(void* invocation) : m_invocation(invocation) {}

CommandBus::Call::~Call()
{
    if (m_invocation != nullptr)
        Refuse("the program is closing");
}

void CommandBus::Call::Done()
{
    if (m_invocation == nullptr)
        return;
    SendText(static_cast<HWND>(m_invocation), nullptr, kDone, {}, kAnswerSendMs);
    m_invocation = nullptr;
}

void CommandBus::Call::Refuse(const std::string& reason, bool busy)
{
    if (m_invocation == nullptr)
        return;
    SendText(static_cast<HWND>(m_invocation), nullptr, busy ? kBusy : kRefused, reason, kAnswerSendMs);
    m_invocation = nullptr;
}

std::string CommandBus::OwnSession() { return {}; }

CommandBus::CommandBus(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

CommandBus::~CommandBus() { m_impl->Close(); }

std::unique_ptr<CommandBus> CommandBus::Connect()
{
    return std::unique_ptr<CommandBus>(new CommandBus(std::make_unique<Impl>()));
}

std::unique_ptr<CommandBus> CommandBus::ConnectTo(const std::string&) { return Connect(); }

bool CommandBus::Claim()
{
    Impl& impl = *m_impl;
    if (impl.mutex != nullptr)
        return true;
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, kMutexName);
    if (mutex == nullptr)
        return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    impl.mutex = mutex;
    RegisterClassOnce(kServerClass, &Impl::Proc);
    impl.server = ::CreateWindowExW(0, kServerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    if (impl.server != nullptr)
        ::SetWindowLongPtrW(impl.server, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&impl));
    return true;
}

void CommandBus::Serve(Handler handler, StateSource state)
{
    m_impl->handler = std::move(handler);
    m_impl->state = std::move(state);
    while (!m_impl->held.empty() && m_impl->handler) {
        auto [command, argument, call] = std::move(m_impl->held.front());
        m_impl->held.pop_front();
        m_impl->handler(command, argument, std::move(call));
    }
}

void CommandBus::StateChanged() {}

void CommandBus::Withdraw()
{
    m_impl->handler = nullptr;
    m_impl->Close();
}

namespace {

// Sends one request to the running program's window and waits for its answer.
CommandOutcome Request(ULONG_PTR code, const std::string& argument, int timeoutMs)
{
    CommandOutcome outcome;
    const HWND server = ::FindWindowExW(HWND_MESSAGE, nullptr, kServerClass, nullptr);
    if (server == nullptr) {
        outcome.text = "not running";
        return outcome;
    }
    RegisterClassOnce(kReplyClass, &ReplyProc);
    const HWND reply = ::CreateWindowExW(0, kReplyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
    if (reply == nullptr) {
        outcome.kind = CommandOutcome::Kind::NoAnswer;
        outcome.text = "no answer";
        return outcome;
    }
    Answer answer;
    ::SetWindowLongPtrW(reply, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&answer));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (SendText(server, reply, code, argument, static_cast<UINT>(timeoutMs))) {
        while (!answer.received) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
    ::SetWindowLongPtrW(reply, GWLP_USERDATA, 0);
    ::DestroyWindow(reply);
    if (!answer.received) {
        outcome.kind = CommandOutcome::Kind::NoAnswer;
        outcome.text = "no answer";
        return outcome;
    }
    outcome.kind = answer.code == kDone ? CommandOutcome::Kind::Done : CommandOutcome::Kind::Refused;
    outcome.text = answer.text;
    return outcome;
}

}  // namespace

CommandOutcome CommandBus::Send(RemoteCommand command, const std::string& argument, int timeoutMs)
{
    CommandOutcome outcome = Request(static_cast<ULONG_PTR>(command), argument, timeoutMs);
    if (outcome.kind == CommandOutcome::Kind::Done)
        outcome.text.clear();
    return outcome;
}

CommandOutcome CommandBus::Query(int timeoutMs)
{
    CommandOutcome outcome = Request(kQuery, {}, timeoutMs);
    if (outcome.kind != CommandOutcome::Kind::Done)
        return outcome;
    // "state\nseconds\nfile"
    const std::string text = outcome.text;
    const std::size_t first = text.find('\n');
    const std::size_t second = first == std::string::npos ? std::string::npos : text.find('\n', first + 1);
    outcome.state.state = text.substr(0, first);
    if (second != std::string::npos) {
        outcome.state.seconds = static_cast<unsigned>(std::strtoul(text.substr(first + 1, second - first - 1).c_str(), nullptr, 10));
        outcome.state.file = text.substr(second + 1);
    }
    outcome.text.clear();
    return outcome;
}

}  // namespace platform
