#include "support/XInput.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace testing_support {

namespace {

// The toolkit's own connection, so that requests and the events they cause stay in order.
Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

unsigned NumLockMask(Display* display) { return XkbKeysymToModifiers(display, XK_Num_Lock); }

}  // namespace

void XMovePointer(const wxPoint& screen)
{
    Display* display = XDisplay();
    XTestFakeMotionEvent(display, -1, screen.x, screen.y, CurrentTime);
    XSync(display, False);
}

void XButton(int button, bool down)
{
    Display* display = XDisplay();
    XTestFakeButtonEvent(display, static_cast<unsigned>(button), down ? True : False, CurrentTime);
    XSync(display, False);
}

void XWheel(int notches)
{
    const int button = notches < 0 ? 4 : 5;
    for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) {
        XButton(button, true);
        XButton(button, false);
    }
}

void XKeyTap(unsigned long keysym)
{
    Display* display = XDisplay();
    const KeyCode code = XKeysymToKeycode(display, static_cast<KeySym>(keysym));
    if (code == 0)
        return;
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
}

void XSetNumLock(bool on)
{
    Display* display = XDisplay();
    const unsigned mask = NumLockMask(display);
    XkbLockModifiers(display, XkbUseCoreKbd, mask, on ? mask : 0);
    XSync(display, False);
}

bool XNumLockOn()
{
    Display* display = XDisplay();
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return false;
    return (state.locked_mods & NumLockMask(display)) != 0;
}

wxImage XScreenImage(const wxRect& rect)
{
    Display* display = XDisplay();
    XSync(display, False);
    XImage* shot = XGetImage(display, DefaultRootWindow(display), rect.x, rect.y,
                             static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height),
                             AllPlanes, ZPixmap);
    if (shot == nullptr)
        return wxImage();
    wxImage image(rect.width, rect.height);
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0)
            return static_cast<unsigned char>(0);
        int shift = 0;
        while (((mask >> shift) & 1) == 0)
            ++shift;
        const unsigned long top = mask >> shift;
        return static_cast<unsigned char>(((pixel & mask) >> shift) * 255 / top);
    };
    for (int y = 0; y < rect.height; ++y)
        for (int x = 0; x < rect.width; ++x) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            image.SetRGB(x, y, channel(pixel, shot->red_mask), channel(pixel, shot->green_mask),
                         channel(pixel, shot->blue_mask));
        }
    XDestroyImage(shot);
    return image;
}

}  // namespace testing_support
