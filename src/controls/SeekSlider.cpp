#include "controls/SeekSlider.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>

#include "platform/GtkStyle.h"
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
#endif
    SetCanFocus(false);
    ShowThumbStyle(false);
    Bind(wxEVT_SET_FOCUS, &CSeekSlider::OnSetFocus, this);
    for (const auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_DCLICK, wxEVT_MIDDLE_DOWN, wxEVT_RIGHT_DOWN})
        Bind(type, &CSeekSlider::OnInputWithoutThumb, this);
    Bind(wxEVT_MOUSEWHEEL, &CSeekSlider::OnInputWithoutThumb, this);
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
