#pragma once
// The notification area's icon: the lamp's state as a picture (a green square when stopped, a
// green triangle while playing, a red disc while recording, an amber hourglass while the
// recording waits for its input), the elapsed time and the file as its tooltip, and a menu to
// record or stop, show or hide the window, and exit. A click shows or hides the window.
// Shown while "[Common] TrayIcon" is on and the desktop has a notification area.
// User-interface thread only.

#include <string>

#include <wx/taskbar.h>

#include "platform/CommandBus.h"

class CRemoteControl;

class CTrayIcon : public wxTaskBarIcon {
public:
    explicit CTrayIcon(CRemoteControl& control);
    ~CTrayIcon() override;

    // The desktop has a notification area (on Linux: an X11 system tray).
    static bool Available();
    // The setting is on and the desktop has the area.
    static bool Wanted();

    // Picture and tooltip for the state; redrawn only when they change.
    void ShowState(const platform::RemoteState& state);
    const std::string& Tooltip() const { return m_tooltip; }
    // With the icon shown, minimising hides the window to it.
    bool HidesOnMinimise() const { return true; }

    // The menu's command ids.
    enum { kIdRecordStop = wxID_HIGHEST + 700, kIdShowHide, kIdExit };
    // The menu as it stands (the caller owns it).
    wxMenu* CreatePopupMenu() override;

private:
    void OnClick(wxTaskBarIconEvent& event);
    void OnMenu(wxCommandEvent& event);

    CRemoteControl& m_control;
    std::string m_picture;  // the state the picture shows
    std::string m_tooltip;
    bool m_recording = false;
};
