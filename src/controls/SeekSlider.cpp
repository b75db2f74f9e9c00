#include "controls/SeekSlider.h"

#include <wx/app.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>

#include "platform/linux/GtkStyle.h"
#endif

namespace {

#ifdef __WXGTK__
const char* const kNoThumbClass = "dravellin-no-thumb";

// Installs, once per screen, the style that makes the thumb of a slider with kNoThumbClass
// invisible.
void InstallNoThumbStyle()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    platform::AddScreenCss("scale.dravellin-no-thumb slider {"
                           " background-image: none; background-color: transparent;"
                           " border-color: transparent; box-shadow: none; outline-color: transparent; }"
                           "scale.dravellin-no-thumb highlight {"
                           " background-image: none; background-color: transparent; border-color: transparent; }");
}

// The theme's padding is taller than the panel's slider; keep the trough in its middle.
void UseFittingPadding(GtkWidget* scale)
{
    platform::AddWidgetCss(scale, "scale { padding-top: 4px; padding-bottom: 4px; }");
}
#endif

// The range a slider gets before any SetRange, as the system's trackbar has.
constexpr int kInitialControlMax = 100;

#ifdef __WXGTK__
const char* const kWarpsSetting = "gtk-primary-button-warps-slider";

// GTK's sliders jump to a primary click in the trough by default (the screen-wide setting
// kWarpsSetting) and page only for the middle button. This slider pages for the primary button
// as a trackbar does: the setting is turned off for the press being handled and restored once
// that press has been dispatched, so other sliders and scroll bars keep the user's choice. The
// toolkit reads the setting when the press arrives and repeats the page step by itself while
// the button is held (see OnGtkChangeValue for what a step does).
void PagePrimaryPress(GtkWidget* scale)
{
    GtkSettings* settings = gtk_widget_get_settings(scale);
    gboolean warps = FALSE;
    g_object_get(settings, kWarpsSetting, &warps, nullptr);
    if (!warps)
        return;
    g_object_set(settings, kWarpsSetting, FALSE, nullptr);
    // The application object outlives any slider, so the setting comes back even if this
    // slider goes away first.
    if (wxTheApp != nullptr)
        wxTheApp->CallAfter([settings] { g_object_set(settings, kWarpsSetting, TRUE, nullptr); });
}

bool IsPageStep(GtkScrollType scroll, bool& forward)
{
    switch (scroll) {
    case GTK_SCROLL_PAGE_BACKWARD:
    case GTK_SCROLL_PAGE_LEFT:
    case GTK_SCROLL_PAGE_UP:
        forward = false;
        return true;
    case GTK_SCROLL_PAGE_FORWARD:
    case GTK_SCROLL_PAGE_RIGHT:
    case GTK_SCROLL_PAGE_DOWN:
        forward = true;
        return true;
    default:
        return false;
    }
}

// The toolkit's page steps (a held button in the trough) do not move the thumb themselves: the
// toolkit would animate the thumb towards its own target and fight the position the receiver of
// the step sets. The slider reports the step instead and the receiver moves the thumb.
gboolean OnGtkChangeValue(GtkRange*, GtkScrollType scroll, gdouble, gpointer data)
{
    bool forward = false;
    if (!IsPageStep(scroll, forward))
        return FALSE;
    static_cast<CSeekSlider*>(data)->PageTowardsPointer(forward);
    return TRUE;
}
#endif

}  // namespace

CSeekSlider::CSeekSlider() = default;

CSeekSlider::CSeekSlider(wxWindow* parent, int id, const wxRect& rect) { Create(parent, id, rect); }

bool CSeekSlider::Create(wxWindow* parent, int id, const wxRect& rect)
{
    if (!wxSlider::Create(parent, id, 0, 0, kInitialControlMax, rect.GetPosition(), rect.GetSize(),
                          wxSL_HORIZONTAL | wxSL_BOTH))
        return false;
    // Creation sets the control's initial range through SetRange; no range has been given yet.
    m_rangeMin = 0;
    m_rangeMax = 0;
#ifdef __WXGTK__
    UseFittingPadding(m_scale);
    g_signal_connect(m_scale, "change-value", G_CALLBACK(OnGtkChangeValue), this);
#endif
    SetCanFocus(false);
    ShowThumbStyle(false);
    Bind(wxEVT_SET_FOCUS, &CSeekSlider::OnSetFocus, this);
    for (const auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_DCLICK})
        Bind(type, &CSeekSlider::OnLeftDown, this);
    for (const auto type : {wxEVT_MIDDLE_DOWN, wxEVT_RIGHT_DOWN})
        Bind(type, &CSeekSlider::OnInputWithoutThumb, this);
    Bind(wxEVT_MOUSEWHEEL, &CSeekSlider::OnWheel, this);
    Bind(wxEVT_KEY_DOWN, &CSeekSlider::OnInputWithoutThumb, this);
    return true;
}

void CSeekSlider::SetRange(int minValue, int maxValue)
{
    m_rangeMin = minValue;
    m_rangeMax = maxValue;
    // The toolkit needs a range of at least one step.
    wxSlider::SetRange(minValue, maxValue > minValue ? maxValue : minValue + 1);
}

void CSeekSlider::SetPageSize(int pageSize) { wxSlider::SetPageSize(pageSize > 0 ? pageSize : 1); }

void CSeekSlider::ShowThumb()
{
    if (m_hasThumb)
        return;
    m_hasThumb = true;
    ShowThumbStyle(true);
}

void CSeekSlider::ShowThumbStyle(bool show)
{
#ifdef __WXGTK__
    if (m_scale == nullptr)
        return;
    InstallNoThumbStyle();
    GtkStyleContext* context = gtk_widget_get_style_context(m_scale);
    if (show)
        gtk_style_context_remove_class(context, kNoThumbClass);
    else
        gtk_style_context_add_class(context, kNoThumbClass);
    gtk_widget_queue_draw(m_scale);
#else
    (void)show;
#endif
}

void CSeekSlider::SetFocus()
{
    if (wxWindow* parent = GetParent())
        parent->SetFocus();
}

void CSeekSlider::OnSetFocus(wxFocusEvent& event)
{
    event.Skip();
    // The focus goes back to the panel once this focus change is complete.
    CallAfter([this] {
        if (wxWindow* parent = GetParent())
            parent->SetFocus();
    });
}

void CSeekSlider::OnInputWithoutThumb(wxEvent& event)
{
    // With a thumb the control handles the input as usual; without one it ignores it.
    event.Skip(m_hasThumb);
}

void CSeekSlider::OnLeftDown(wxMouseEvent& event)
{
    if (!m_hasThumb)
        return;  // no thumb: the press goes nowhere
#ifdef __WXGTK__
    PagePrimaryPress(m_scale);
#endif
    event.Skip();
}

void CSeekSlider::OnWheel(wxMouseEvent& event)
{
#ifdef __WXGTK__
    // The toolkit would move the thumb by itself and report it as tracking; the slider reports
    // line steps instead, and whoever receives them moves the thumb.
    if (!m_hasThumb || !IsEnabled())
        return;
    const int delta = event.GetWheelDelta() > 0 ? event.GetWheelDelta() : 120;
    // Up and left go back, down and right forward.
    int rotation = event.GetWheelRotation();
    if (rotation == 0)
        return;
    if (event.GetWheelAxis() == wxMOUSE_WHEEL_VERTICAL)
        rotation = -rotation;
    if ((rotation > 0) != (m_wheelRest > 0))
        m_wheelRest = 0;  // a change of direction drops what was left over
    m_wheelRest += rotation;
    while (m_wheelRest >= delta) {
        m_wheelRest -= delta;
        SendScroll(wxEVT_SCROLL_LINEDOWN);
    }
    while (m_wheelRest <= -delta) {
        m_wheelRest += delta;
        SendScroll(wxEVT_SCROLL_LINEUP);
    }
#else
    // The system's trackbar turns notches into line steps by itself.
    event.Skip(m_hasThumb);
#endif
}

void CSeekSlider::PageTowardsPointer(bool forward)
{
#ifdef __WXGTK__
    // As a trackbar does, the steps end once the thumb has reached the pointer.
    int start = 0;
    int end = 0;
    gtk_range_get_slider_range(GTK_RANGE(m_scale), &start, &end);
    const int pointer = ScreenToClient(wxGetMousePosition()).x;
    if (forward ? pointer < end : pointer >= start)
        return;
#endif
    SendScroll(forward ? wxEVT_SCROLL_PAGEDOWN : wxEVT_SCROLL_PAGEUP);
}

void CSeekSlider::SendScroll(wxEventType type)
{
    wxScrollEvent scroll(type, GetId(), GetValue(), wxHORIZONTAL);
    scroll.SetEventObject(this);
    HandleWindowEvent(scroll);
}
