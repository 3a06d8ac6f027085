// The screen's system tray as icons and other trays meet it.
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros that break its headers.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

namespace kit_test {

// The window holding _NET_SYSTEM_TRAY_S<screen>; None when nobody does.
Window tray_owner(Display* dpy);
// A _NET_SYSTEM_TRAY_OPCODE message to that window; opcode 0 docks window `data`.
void send_tray_opcode(Display* dpy, long opcode, long data);
// Takes the selection for `window` and announces it, as a tray started later does.
void take_tray_selection(Display* dpy, Window window);

}  // namespace kit_test
