#pragma once
// A real main frame with its panel on the test display, a fresh settings folder, SDL's
// file-backed audio (a tone as the sound input, a file as the sound output) and every message
// captured instead of shown.

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/MainFrame.h"
#include "panel/MainPanel.h"
#include "support/MessageCapture.h"
#include "support/TempDir.h"

class wxMenuBar;
class CMySheetDialog;

class PanelFixture : public ::testing::Test {
protected:
    enum class State { NoFile, Stopped, Playing, Recording };

    void SetUp() override;
    void TearDown() override;

    // Creates the frame the way start-up does (settings as stored at this moment), with
    // startupFile as the file named on the command line when not empty.
    void OpenFrame(const std::string& startupFile = std::string());
    void CloseFrame();

    // Sends a menu or accelerator command the way the frame receives it.
    void Command(int id);
    // Sends a button click from the panel's button with this id.
    void Click(int id);
    // Presses a key through the X server (XTest) with the panel focused, as a user types it.
    void PressKey(int keyCode, int modifiers = 0);
    // Opens the settings sheet with Ctrl+P and runs body on it from inside its modal loop once
    // it has the focus; body ends it (a click on OK or Cancel). Fails when it did not open.
    void OnSettingsSheet(const std::function<void(CMySheetDialog&)>& body);
    // A real click through the X server near the left end of a control, where a check box's box
    // or a button's face is.
    static void ClickOn(wxWindow* control);

    std::string MenuText(int id) const;
    bool MenuEnabled(int id) const;
    wxMenuBar* MenuBar() const;
    std::string Title() const;

    // Checks buttons, icons, lamp, menu items and timers against the state table.
    void ExpectState(State state, const char* where = "") const;

    // A file path in the test's own folder.
    std::string File(const std::string& name) const { return m_dir.File(name); }

    // Waits while the event loop runs.
    static void Pump(int ms);

    testing_support::TempDir m_dir;
    std::unique_ptr<testing_support::ScopedEnv> m_xdg;
    std::unique_ptr<testing_support::ScopedEnv> m_audioIn;
    std::unique_ptr<testing_support::ScopedEnv> m_audioOut;
    std::unique_ptr<testing_support::MessageCapture> m_messages;
    CMainFrame* m_frame = nullptr;
    CMainPanel* m_panel = nullptr;
};
