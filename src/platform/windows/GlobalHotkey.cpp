// Windows twin of platform/linux/GlobalHotkey.cpp: RegisterHotKey on a message-only window of the
// class "example.dravellin.Recorder.Hotkey"; WM_HOTKEY calls the handler from the thread's
// message loop (the toolkit's loop dispatches it like any window's message).
#include "platform/GlobalHotkey.h"

#include <iterator>

#include <windows.h>

namespace platform {
namespace {

constexpr const wchar_t* kClass = L"example.dravellin.Recorder.Hotkey";
constexpr int kHotkeyId = 1;

struct Combination {
    const char* name;
    UINT modifiers;
    UINT key;
};

constexpr Combination kCombinations[] = {
    {"Ctrl+Alt+R", MOD_CONTROL | MOD_ALT, 'R'},
    {"Ctrl+Shift+R", MOD_CONTROL | MOD_SHIFT, 'R'},
    {"Ctrl+Alt+F9", MOD_CONTROL | MOD_ALT, VK_F9},
    {"Ctrl+Shift+F9", MOD_CONTROL | MOD_SHIFT, VK_F9},
    {"Pause", 0, VK_PAUSE},
};

}  // namespace

struct GlobalHotkey::Impl {
    std::function<void()> pressed;
    HWND window = nullptr;
    bool registered = false;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_HOTKEY && wParam == kHotkeyId) {
            auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self != nullptr && self->pressed)
                self->pressed();
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
};

bool GlobalHotkey::Supported() { return true; }

std::vector<std::string> GlobalHotkey::Combinations()
{
    std::vector<std::string> names;
    for (const Combination& combination : kCombinations)
        names.emplace_back(combination.name);
    return names;
}

GlobalHotkey::GlobalHotkey(std::function<void()> pressed) : m_impl(std::make_unique<Impl>())
{
    m_impl->pressed = std::move(pressed);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Impl::Proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    ::RegisterClassExW(&windowClass);  // a second registration fails harmlessly
    m_impl->window = ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
    if (m_impl->window != nullptr)
        ::SetWindowLongPtrW(m_impl->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_impl.get()));
}

GlobalHotkey::~GlobalHotkey()
{
    Set({});
    if (m_impl->window != nullptr)
        ::DestroyWindow(m_impl->window);
}

bool GlobalHotkey::Set(const std::string& name)
{
    if (m_impl->registered)
        ::UnregisterHotKey(m_impl->window, kHotkeyId);
    m_impl->registered = false;
    m_held.clear();
    if (name.empty())
        return true;
    if (m_impl->window == nullptr)
        return false;
    for (const Combination& combination : kCombinations) {
        if (name != combination.name)
            continue;
        if (!::RegisterHotKey(m_impl->window, kHotkeyId, combination.modifiers | MOD_NOREPEAT, combination.key))
            return false;
        m_impl->registered = true;
        m_held = name;
        return true;
    }
    return false;
}

}  // namespace platform
