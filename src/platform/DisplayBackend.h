#pragma once
// Which display system the toolkit talks to.
//
// The stored window position and "always on top" only work through X11: a Wayland compositor
// places windows itself and offers no "keep above". So in a Wayland session the program asks
// GTK to try X11 (XWayland) first and to fall back to any other backend when no X display can
// be reached. A GDK_BACKEND the user set always wins. The choice is made for this process only;
// programs it starts (the mixer, the browser) keep the session's own backend.
//
// Call from main, before the toolkit opens its display. Linux only; does nothing elsewhere.

namespace platform {

// True when the X11-first preference should be applied: the user has not set GDK_BACKEND
// (unset or empty). gdkBackend is getenv("GDK_BACKEND").
bool ShouldPreferX11(const char* gdkBackend);

// Applies the preference when ShouldPreferX11(getenv("GDK_BACKEND")); returns whether it did.
bool PreferX11Backend();

}  // namespace platform
