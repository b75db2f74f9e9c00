#include "controls/PanelButton.h"

#include <algorithm>

#include "res/ButtonIcons.h"

#ifdef __WXGTK__
#include "platform/linux/GtkStyle.h"
#endif
#ifdef __WXMSW__
#include <windows.h>
#endif

namespace {

#ifdef __WXGTK__
// The theme's padding and minimum size would push the icon out of these small buttons.
void UseTightPadding(GtkWidget* widget)
{
    platform::AddWidgetCss(widget, "button { padding: 0; min-width: 0; min-height: 0; }");
}
#endif

}  // namespace

CPanelButton::CPanelButton() : m_flashTimer(this) {}

CPanelButton::CPanelButton(wxWindow* parent, int id, const wxRect& rect) : m_flashTimer(this)
{
    Create(parent, id, rect);
}

CPanelButton::~CPanelButton() { m_flashTimer.Stop(); }

bool CPanelButton::Create(wxWindow* parent, int id, const wxRect& rect)
{
    if (!wxButton::Create(parent, id, wxEmptyString, rect.GetPosition(), rect.GetSize(), wxBU_NOTEXT | wxBU_EXACTFIT))
        return false;
#ifdef __WXGTK__
    UseTightPadding(static_cast<GtkWidget*>(GetHandle()));
#endif
    SetSize(rect);
    Bind(wxEVT_TIMER, &CPanelButton::OnFlashTimer, this, m_flashTimer.GetId());
    return true;
}

void CPanelButton::SetIconId(int iconId)
{
    m_iconId = iconId & 0xFFFF;
    // A centred icon loses what lies outside the button's face (its edge takes 2 pixels on
    // each side).
    const wxSize size = GetSize();
    const wxSize visible(std::clamp(size.x - 4, 1, 32), std::clamp(size.y - 4, 1, 32));
    SetBitmap(res::ButtonIcon(m_iconId, visible));
}

void CPanelButton::SetDescription(const std::string& utf8Text)
{
    if (utf8Text == m_description)
        return;
    m_description = utf8Text;
    const wxString text = wxString::FromUTF8(utf8Text);
    if (text.empty())
        UnsetToolTip();
    else
        SetToolTip(text);
#ifdef __WXGTK__
    // A button with only an image has no name of its own for screen readers.
    if (AtkObject* accessible = gtk_widget_get_accessible(static_cast<GtkWidget*>(GetHandle())))
        atk_object_set_name(accessible, utf8Text.c_str());
#elif defined(__WXMSW__)
    // The system reads an icon button's window text as its name; the button draws only its icon.
    ::SetWindowTextW(static_cast<HWND>(GetHandle()), text.wc_str());
#endif
}

void CPanelButton::Flash()
{
    SetPushedLook(true);
    m_flashTimer.StartOnce(kFlashMilliseconds);
}

void CPanelButton::OnFlashTimer(wxTimerEvent&) { SetPushedLook(false); }

void CPanelButton::SetPushedLook(bool pushed)
{
    m_flashing = pushed;
#if defined(__WXGTK__)
    GtkWidget* widget = static_cast<GtkWidget*>(GetHandle());
    if (pushed)
        gtk_widget_set_state_flags(widget, GTK_STATE_FLAG_ACTIVE, FALSE);
    else
        gtk_widget_unset_state_flags(widget, GTK_STATE_FLAG_ACTIVE);
#elif defined(__WXMSW__)
    ::SendMessage(static_cast<HWND>(GetHandle()), BM_SETSTATE, pushed ? TRUE : FALSE, 0);
#endif
    Refresh(false);
    Update();
}
