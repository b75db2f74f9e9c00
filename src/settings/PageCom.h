#pragma once
// The General page "Общие" (dialog template 134): what the program does with the current file
// when it starts, whether it starts automatically when the user logs on, and whether it starts
// minimised, and whether an icon in the notification area shows the state ("TrayIcon"; greyed
// with a note where the desktop has no notification area). The object is constructed with the
// settings sheet at program start and reads "Loader", "Autorun", "Minimized" and "TrayIcon" then; the main panel reads the start-up action from it.
// Where the platform has global keys (Windows), it also offers the key combination that
// toggles recording from any program ("Hotkey", empty: off); the remote control takes it.
// User-interface thread only.

#include <string>

#include "settings/SettingsPage.h"

class CPageCom : public CSettingsPage {
public:
    // Name of the automatic-start entry (the Run value on Windows, the .desktop file on Linux).
    static constexpr const char* kAutostartName = "Palimbor";

    // Start-up actions, in the order of the radio buttons.
    enum Loader { kLoadNothing = 0, kLoadNewFile = 1, kLoadLastFile = 2 };

    CPageCom();

    // Start-up action; a stored value other than 0..2 is kept, and the panel takes no action.
    int Loader() const { return m_nLoader; }
    bool Autorun() const { return m_bAutorun != 0; }
    bool Minimized() const { return m_bMinimized != 0; }
    bool TrayIcon() const { return m_bTrayIcon != 0; }

    // load true: read the key from section "Common" (default 0) into the member; false: write it.
    void PersistLoader(bool load);
    void PersistMinimized(bool load);
    void PersistTrayIcon(bool load);
    void PersistHotkey(bool load);
    // load false registers or removes the automatic start first and writes "Autorun" only when
    // that succeeded; otherwise neither changes, and the member keeps the new value in memory.
    void PersistAutorun(bool load);

    // Controls -> members, then saves "Loader", the automatic start with "Autorun", "Minimized"
    // and "TrayIcon".
    void OnOK() override;

    // The page's values; the data exchange moves them to and from the controls.
    int m_nLoader = 0;
    int m_bAutorun = 0;
    int m_bMinimized = 0;
    int m_bTrayIcon = 0;
    std::string m_sHotkey;  // the combination's name; empty: off

protected:
    void CreateControls() override;
    void DoDataExchange(bool save) override;
};
