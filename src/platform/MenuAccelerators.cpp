#include "platform/MenuAccelerators.h"

#include <wx/frame.h>
#include <wx/menu.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace platform {

void DetachMenuAccelerators(wxFrame* frame)
{
#ifdef __WXGTK__
    // wxGTK attaches one accelerator group per menu to the frame's GTK window; without them the
    // items still show their shortcut text but no longer react to the keys.
    wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
    if (bar == nullptr)
        return;
    GtkWindow* window = GTK_WINDOW(frame->GetHandle());
    for (size_t i = 0; i < bar->GetMenuCount(); ++i) {
        wxMenu* menu = bar->GetMenu(i);
        if (menu != nullptr && menu->m_accel != nullptr)
            gtk_window_remove_accel_group(window, menu->m_accel);
    }
#else
    (void)frame;
#endif
}

}  // namespace platform
