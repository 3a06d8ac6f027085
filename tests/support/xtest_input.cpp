#include "xtest_input.hpp"

#include <X11/extensions/XTest.h>

namespace kit_test {

bool has_xtest(Display* dpy)
{
    int event_base, error_base, major, minor;
    return XTestQueryExtension(dpy, &event_base, &error_base, &major, &minor);
}

void move_pointer(Display* dpy, int x, int y)
{
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, CurrentTime);
    XSync(dpy, False);
}

void press(Display* dpy, unsigned button)
{
    XTestFakeButtonEvent(dpy, button, True, CurrentTime);
    XSync(dpy, False);
}

void release(Display* dpy, unsigned button)
{
    XTestFakeButtonEvent(dpy, button, False, CurrentTime);
    XSync(dpy, False);
}

void click(Display* dpy, unsigned button)
{
    press(dpy, button);
    release(dpy, button);
}

void click_at(Display* dpy, int x, int y, unsigned button)
{
    move_pointer(dpy, x, y);
    click(dpy, button);
}

void press_key(Display* dpy, KeySym keysym)
{
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, keysym), True, CurrentTime);
    XSync(dpy, False);
}

void release_key(Display* dpy, KeySym keysym)
{
    XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, keysym), False, CurrentTime);
    XSync(dpy, False);
}

void tap_key(Display* dpy, KeySym keysym)
{
    press_key(dpy, keysym);
    release_key(dpy, keysym);
}

}  // namespace kit_test
