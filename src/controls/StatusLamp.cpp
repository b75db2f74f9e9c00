#include "controls/StatusLamp.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include "res/LampPictures.h"

namespace {

int PictureOf(int state)
{
    switch (state) {
    case LAMP_RECORD:
        return res::IDB_LAMP_RECORD;
    case LAMP_STOP:
        return res::IDB_LAMP_STOP;
    case LAMP_PLAY:
        return res::IDB_LAMP_PLAY;
    case LAMP_PAUSE:
        return res::IDB_LAMP_PAUSE;
    case LAMP_ARMED:
        return res::IDB_LAMP_ARMED;
    case LAMP_LISTEN:
        return res::IDB_LAMP_LISTEN;
    case LAMP_WAIT:
        return res::IDB_LAMP_WAIT;
    default:
        return 0;
    }
}

}  // namespace

CStatusLamp::CStatusLamp() = default;

CStatusLamp::CStatusLamp(wxWindow* parent, int id, const wxRect& rect) { Create(parent, id, rect); }

bool CStatusLamp::Create(wxWindow* parent, int id, const wxRect& rect)
{
    if (!CBackBufferCtrl::Create(parent, id, rect))
        return false;
    SetState(LAMP_STOP);
    return true;
}

void CStatusLamp::SetState(int state)
{
    m_state = state;
    const wxImage picture = res::LampPicture(PictureOf(state));
    Draw([&](wxDC& dc) {
        FillBlack(dc, wxRect(0, 0, m_width, m_height));
        if (!picture.IsOk())
            return;
        // An odd difference puts the extra pixel on the right or at the bottom.
        const int x = (m_width - picture.GetWidth()) / 2;
        const int y = (m_height - picture.GetHeight()) / 2;
        dc.DrawBitmap(wxBitmap(picture, 24), x, y, false);
    });
}

void CStatusLamp::SetDescription(const std::string& utf8Text)
{
    if (utf8Text == m_description)
        return;
    m_description = utf8Text;
    SetToolTip(wxString::FromUTF8(utf8Text));
#ifdef __WXGTK__
    if (AtkObject* accessible = gtk_widget_get_accessible(static_cast<GtkWidget*>(GetHandle())))
        atk_object_set_description(accessible, utf8Text.c_str());
#endif
}
