// Ends the panel's process-wide display state after an in-process test.
#pragma once

#include "display_state.hpp"

#include <X11/Xlib.h>

// The program never tears its look down; a test does, so that the next
// test starts from a fresh DisplayState.
inline void release_display_state()
{
    if (ds.display) {
        if (ds.font)
            XFreeFont(ds.display, ds.font);
        if (ds.gc)
            XFreeGC(ds.display, ds.gc);
        XCloseDisplay(ds.display);
    }
    ds = DisplayState{};
}
