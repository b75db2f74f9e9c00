#pragma once
// The time display: a count of whole seconds as green "h:mm:ss" text, right-aligned in a
// black box. Text wider than the box loses its leftmost part. User-interface thread only.

#include <wx/font.h>

#include "controls/BackBufferCtrl.h"

class CTimePanel : public CBackBufferCtrl {
public:
    CTimePanel();
    CTimePanel(wxWindow* parent, int id, const wxRect& rect);

    // Creates the window; it shows 0:00:00 at once.
    bool Create(wxWindow* parent, int id, const wxRect& rect);

    void Reset();              // count = 0
    void Tick();               // count + 1
    void SetSeconds(int n);    // count = n (a negative n counts as 0)
    int GetSeconds() const { return m_seconds; }

private:
    void Redraw();

    wxFont m_font;
    int m_seconds = 0;
};
