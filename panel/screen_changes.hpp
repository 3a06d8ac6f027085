// Following the screen: its size and the monitor the bar lives on, and the
// server's notices that either changed.
#pragma once

#include "display_state.hpp"

// Reads the screen's size and chooses the bar's monitor again. Returns
// whether either changed.
bool refresh_bar_monitor();

// Asks for notice of changes of the screen's size and of its monitors:
// RandR's notices, or the root's ConfigureNotify where RandR is absent.
void select_screen_changes();

// Whether `event` tells of such a change; keeps Xlib's idea of the screen's
// size current when it does.
bool is_screen_change(XEvent& event);
