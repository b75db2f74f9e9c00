#pragma once
// An icon push button of the main panel: no caption, only one of the program's icons, and a
// short pushed look that the panel shows when a keyboard shortcut stands in for a click.
// User-interface thread only.

#include <wx/button.h>
#include <wx/timer.h>

class CPanelButton : public wxButton {
public:
    // How long Flash shows the pushed look.
    static constexpr int kFlashMilliseconds = 100;

    CPanelButton();
    CPanelButton(wxWindow* parent, int id, const wxRect& rect);
    ~CPanelButton() override;

    bool Create(wxWindow* parent, int id, const wxRect& rect);

    // Shows icon iconId (only its low 16 bits count); an unknown id leaves the button blank.
    void SetIconId(int iconId);
    int GetIconId() const { return m_iconId; }

    // Shows the button pushed for kFlashMilliseconds. The look is drawn at once and taken
    // back by a timer, so the user-interface thread is not held while it shows.
    void Flash();
    bool IsFlashing() const { return m_flashing; }

private:
    void SetPushedLook(bool pushed);
    void OnFlashTimer(wxTimerEvent& event);

    wxTimer m_flashTimer;
    int m_iconId = 0;
    bool m_flashing = false;
};
