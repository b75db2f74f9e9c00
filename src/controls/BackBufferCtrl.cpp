#include "controls/BackBufferCtrl.h"

#include <algorithm>
#include <cmath>

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>

#include "platform/DirectDraw.h"

const wxColour CBackBufferCtrl::kGreen(0, 200, 0);
const wxColour CBackBufferCtrl::kBlack(0, 0, 0);

CBackBufferCtrl::CBackBufferCtrl() = default;

CBackBufferCtrl::CBackBufferCtrl(wxWindow* parent, int id, const wxRect& rect) { Create(parent, id, rect); }

CBackBufferCtrl::~CBackBufferCtrl() = default;

bool CBackBufferCtrl::Create(wxWindow* parent, int id, const wxRect& rect)
{
    // Erasing paints nothing: everything visible comes from the back buffer.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxWindow::Create(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE))
        return false;
    // Every paint makes a DC, which asks the window for its font and colours; without values of
    // its own the window looks them up in the GTK theme each time, which costs more than the
    // drawing itself (ten times a second for the level meter while recording).
    SetOwnFont(*wxNORMAL_FONT);
    SetOwnForegroundColour(kGreen);
    SetOwnBackgroundColour(kBlack);
    m_width = rect.width;
    m_height = rect.height;
    wxImage black(std::max(1, m_width), std::max(1, m_height), true);
    m_bitmap = wxBitmap(black, 24);
    Bind(wxEVT_PAINT, &CBackBufferCtrl::OnPaint, this);
    return true;
}

wxImage CBackBufferCtrl::GetBackBufferImage() const { return m_bitmap.ConvertToImage(); }

void CBackBufferCtrl::Draw(const std::function<void(wxDC& dc)>& draw)
{
    if (!m_bitmap.IsOk())
        return;
    {
        wxMemoryDC dc(m_bitmap);
        draw(dc);
    }
    Present();
}

void CBackBufferCtrl::ReplaceBackBuffer(const wxImage& image)
{
    m_bitmap = wxBitmap(image, 24);
    Present();
}

bool CBackBufferCtrl::EditBackBuffer(const platform::PixelEditor& edit)
{
    return EditBackBuffer(edit, wxRect(0, 0, std::max(1, m_width), std::max(1, m_height)));
}

bool CBackBufferCtrl::EditBackBuffer(const platform::PixelEditor& edit, const wxRect& shown)
{
    if (!platform::EditPixels(m_bitmap, edit))
        return false;
    Present(shown);
    return true;
}

void CBackBufferCtrl::Present() { Present(wxRect(0, 0, std::max(1, m_width), std::max(1, m_height))); }

void CBackBufferCtrl::Present(const wxRect& changed)
{
    if (platform::DrawNow(*this, m_bitmap, changed.x, changed.y, changed.width, changed.height))
        return;
    RefreshRect(changed, true);
}

void CBackBufferCtrl::FillBlack(wxDC& dc, const wxRect& rect)
{
    if (rect.width <= 0 || rect.height <= 0)
        return;
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(*wxBLACK_BRUSH);
    dc.DrawRectangle(rect);
}

void CBackBufferCtrl::DrawLineOfText(wxDC& dc, const wxFont& font, const wxString& text, const wxRect& rect,
                                     Align align)
{
    if (rect.width <= 0 || rect.height <= 0)
        return;
    FillBlack(dc, rect);
    wxDCClipper clip(dc, rect);
    dc.SetFont(font);
    dc.SetTextForeground(kGreen);
    // On black already: a solid text background would only lay the text out once more to
    // measure it.
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    // Where the device context draws through a graphics context (GTK), the text goes to that
    // directly: the device context would lay the text out again after drawing it, only to keep
    // a bounding box nothing reads. Each layout costs more than the rest of the picture.
    if (wxGraphicsContext* gc = dc.GetGraphicsContext()) {
        double x = rect.x;
        if (align == Align::Right) {
            double width = 0;
            double height = 0;
            gc->GetTextExtent(text, &width, &height);
            x = rect.x + rect.width - std::ceil(width);
        }
        gc->DrawText(text, x, rect.y);
        return;
    }
    const int x = align == Align::Left ? rect.x : rect.x + rect.width - dc.GetTextExtent(text).x;
    dc.DrawText(text, x, rect.y);
}

void CBackBufferCtrl::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_bitmap.IsOk())
        dc.DrawBitmap(m_bitmap, 0, 0, false);
}
