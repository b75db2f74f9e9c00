#pragma once
// Style sheets for GTK widgets, where a control needs a look the theme does not give it.
// Built on GTK only. User-interface thread.

#ifdef __WXGTK__

#include <gtk/gtk.h>

namespace platform {

// Adds css to one widget's style, above the theme.
void AddWidgetCss(GtkWidget* widget, const char* css);

// Adds css to every widget on the default screen, above the theme.
void AddScreenCss(const char* css);

// True when windows may be drawn on outside the toolkit's paint cycle (an X11 display): what
// is drawn shows at once. Elsewhere (Wayland) only painting shows anything.
bool CanDrawOutsidePaint();

}  // namespace platform

#endif
