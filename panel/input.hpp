// Pointer input on the bar, the desktop request and the command launcher.
#pragma once

#include "display_state.hpp"

// A button-1 press at the bar-relative (x, y).
// `time` is the press's server time stamp, passed on to the window manager.
void on_button_press(Panel& panel, int x, int y, Time time = CurrentTime);

// A motion event over the bar at bar row y: collapses or expands it.
void on_pointer_motion(Panel& panel, int y);

// Asks the window manager for desktop panel.desktop + offset.
void request_desktop(Panel& panel, int offset, Time time = CurrentTime);

// Runs `command` through /bin/sh -c in a new child; never waits. Returns 0.
int spawn_command(const char* command);

// Start-up: finished commands must never linger as defunct children, and
// they must not inherit the X connection.
void init_launcher();
