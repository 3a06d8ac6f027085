// Pointer and keyboard input through XTEST, as a person's would arrive. Each
// call ends with a round trip, so the server has generated the events on return.
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros that break its headers.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

namespace kit_test {

bool has_xtest(Display* dpy);
void move_pointer(Display* dpy, int x, int y);  // root coordinates
void press(Display* dpy, unsigned button = 1);
void release(Display* dpy, unsigned button = 1);
void click(Display* dpy, unsigned button = 1);                // press + release
void click_at(Display* dpy, int x, int y, unsigned button = 1);  // move, then click

// Keys by keysym, on the keycode that the server's keyboard map gives it.
void press_key(Display* dpy, KeySym keysym);
void release_key(Display* dpy, KeySym keysym);
void tap_key(Display* dpy, KeySym keysym);  // press + release

}  // namespace kit_test
