#include "controls/InfoPanel.h"

#include <cstdio>

#include "controls/DisplayFont.h"
#include "platform/FormatFixed.h"

namespace {

constexpr int kFontHeight = 18;
// The six leftmost columns, the two rightmost columns and the four top rows stay black.
constexpr int kLeft = 6;
constexpr int kTop = 4;
constexpr int kRightMargin = 2;
// The lines are cut to what these buffers hold, terminator included.
constexpr std::size_t kFormatBuffer = 40;
constexpr std::size_t kSizeBuffer = 52;

}  // namespace

CInfoPanel::CInfoPanel() = default;

CInfoPanel::CInfoPanel(wxWindow* parent, int id, const wxRect& rect) { Create(parent, id, rect); }

bool CInfoPanel::Create(wxWindow* parent, int id, const wxRect& rect)
{
    if (!CBackBufferCtrl::Create(parent, id, rect))
        return false;
    m_font = controls::DisplayFont(kFontHeight);
    return true;
}

std::string CInfoPanel::FormatLine(float kHz, int kbps, int stereo)
{
    // The rate is formatted apart from snprintf, whose "%f" follows the numeric locale.
    const std::string rate = platform::FormatFixed(static_cast<double>(kHz), 2, 1);
    char text[kFormatBuffer];
    std::snprintf(text, sizeof text, "%d kbps : %s kHz : %s", kbps, rate.c_str(),
                  stereo > 0 ? "Stereo" : "Mono");
    return text;
}

std::string CInfoPanel::SizeLine(std::uint32_t kBytes, const std::string& timeText)
{
    char text[kSizeBuffer];
    std::snprintf(text, sizeof text, "%u kBytes (%s)", static_cast<unsigned>(kBytes), timeText.c_str());
    return text;
}

wxRect CInfoPanel::FormatLineRect() const
{
    return wxRect(kLeft, kTop, m_width - kRightMargin - kLeft, m_height / 2 - kTop);
}

wxRect CInfoPanel::SizeLineRect() const
{
    return wxRect(kLeft, m_height / 2, m_width - kRightMargin - kLeft, m_height - m_height / 2);
}

void CInfoPanel::ShowFormat(float kHz, int kbps, int stereo)
{
    m_formatText = FormatLine(kHz, kbps, stereo);
    DrawLine(FormatLineRect(), m_formatText);
}

void CInfoPanel::ShowSize(std::uint32_t kBytes, const std::string& timeText)
{
    m_sizeText = SizeLine(kBytes, timeText);
    DrawLine(SizeLineRect(), m_sizeText);
}

void CInfoPanel::DrawLine(const wxRect& rect, const std::string& text)
{
    const wxString line = wxString::FromUTF8(text);
    Draw([&](wxDC& dc) {
        DrawLineOfText(dc, m_font, line, rect, Align::Left);
    });
}
