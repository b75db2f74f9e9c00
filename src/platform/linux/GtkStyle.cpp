#ifdef __WXGTK__

#include "platform/linux/GtkStyle.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace platform {
namespace {

GtkCssProvider* MakeProvider(const char* css)
{
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    return provider;
}

}  // namespace

void AddWidgetCss(GtkWidget* widget, const char* css)
{
    if (widget == nullptr)
        return;
    GtkCssProvider* provider = MakeProvider(css);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

void AddScreenCss(const char* css)
{
    GtkCssProvider* provider = MakeProvider(css);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

bool CanDrawOutsidePaint()
{
#ifdef GDK_WINDOWING_X11
    static const bool x11 = GDK_IS_X11_DISPLAY(gdk_display_get_default());
    return x11;
#else
    return false;
#endif
}

}  // namespace platform

#endif
