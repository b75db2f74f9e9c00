#pragma once
// An icon push button of the main panel: no caption, only one of the program's icons, and a
// short pushed look that the panel shows when a keyboard shortcut stands in for a click.
// A description names what the button does: it is the button's tooltip and the name that
// assistive technologies announce for it. User-interface thread only.

#include <string>

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

    // Sets the tooltip and the accessible name (UTF-8); "" removes the tooltip.
    void SetDescription(const std::string& utf8Text);
    const std::string& GetDescription() const { return m_description; }
    bool IsFlashing() const { return m_flashing; }

private:
    void SetPushedLook(bool pushed);
    void OnFlashTimer(wxTimerEvent& event);

    wxTimer m_flashTimer;
    std::string m_description;
    int m_iconId = 0;
    bool m_flashing = false;
};
