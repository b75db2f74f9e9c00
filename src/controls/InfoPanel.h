#pragma once
// The format and size panel: two independent lines of green text on black. The upper line
// shows the recording format, the lower one the file's size and duration; each call redraws
// only its own line. Black until the first call. User-interface thread only.

#include <cstdint>
#include <string>

#include <wx/font.h>

#include "controls/BackBufferCtrl.h"

class CInfoPanel : public CBackBufferCtrl {
public:
    CInfoPanel();
    CInfoPanel(wxWindow* parent, int id, const wxRect& rect);

    bool Create(wxWindow* parent, int id, const wxRect& rect);

    // "%d kbps : %2.1f kHz : %s" with "Stereo" for stereo > 0, else "Mono".
    void ShowFormat(float kHz, int kbps, int stereo);
    // "%d kBytes (%s)".
    void ShowSize(std::uint32_t kBytes, const std::string& timeText);

    // The texts of the two lines, as drawn.
    static std::string FormatLine(float kHz, int kbps, int stereo);
    static std::string SizeLine(std::uint32_t kBytes, const std::string& timeText);

    // The texts the two lines show now ("" before their first call).
    const std::string& FormatText() const { return m_formatText; }
    const std::string& SizeText() const { return m_sizeText; }

    // Where each line is drawn in the control.
    wxRect FormatLineRect() const;
    wxRect SizeLineRect() const;

private:
    void DrawLine(const wxRect& rect, const std::string& text);

    wxFont m_font;
    std::string m_formatText;
    std::string m_sizeText;
};
