#pragma once
// A key combination that reaches this program while any program has the keyboard.
//
// Windows: RegisterHotKey on a message-only window of our own; WM_HOTKEY calls the handler.
// Elsewhere there is none: a program must not grab keys there (and on Wayland cannot); the
// desktop's keyboard settings bind "dravellin-recorder --toggle" instead, and Supported() is
// false. The combination is stored as its name ("[Common] Hotkey", empty: off).
//
// User-interface thread only: the handler runs on the thread's message loop.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class GlobalHotkey {
public:
    // False where a program cannot have a global key (the setting is not offered there).
    static bool Supported();
    // The combinations offered, by name ("Ctrl+Alt+R", ...); empty where not supported.
    static std::vector<std::string> Combinations();

    explicit GlobalHotkey(std::function<void()> pressed);
    ~GlobalHotkey();
    GlobalHotkey(const GlobalHotkey&) = delete;
    GlobalHotkey& operator=(const GlobalHotkey&) = delete;

    // Lets go of the combination held, then takes name (one of Combinations(); empty: none).
    // False when name cannot be taken: another program holds it, or it is not offered here.
    bool Set(const std::string& name);
    // The combination held now; empty: none.
    const std::string& Held() const { return m_held; }

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
    std::string m_held;
};

}  // namespace platform
