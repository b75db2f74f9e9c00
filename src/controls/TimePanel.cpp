#include "controls/TimePanel.h"

#include <climits>

#include "controls/DisplayFont.h"
#include "controls/FormatTime.h"

namespace {

constexpr int kFontHeight = 26;
// Row 0 and the four rightmost columns stay black.
constexpr int kTop = 1;
constexpr int kRightMargin = 4;

}  // namespace

CTimePanel::CTimePanel() = default;

CTimePanel::CTimePanel(wxWindow* parent, int id, const wxRect& rect) { Create(parent, id, rect); }

bool CTimePanel::Create(wxWindow* parent, int id, const wxRect& rect)
{
    if (!CBackBufferCtrl::Create(parent, id, rect))
        return false;
    m_font = controls::DisplayFont(kFontHeight);
    Reset();
    return true;
}

void CTimePanel::Reset()
{
    m_seconds = 0;
    Redraw();
}

void CTimePanel::Tick()
{
    if (m_seconds < INT_MAX)
        ++m_seconds;
    Redraw();
}

void CTimePanel::SetSeconds(int n)
{
    m_seconds = n < 0 ? 0 : n;
    Redraw();
}

void CTimePanel::Redraw()
{
    const wxRect text(0, kTop, m_width - kRightMargin, m_height - kTop);
    const wxString time = FormatTime(m_seconds);
    Draw([&](wxDC& dc) {
        DrawLineOfText(dc, m_font, time, text, Align::Right);
    });
}
