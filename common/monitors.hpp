// Asking the server for the screen's monitors: RandR 1.5 monitors, else
// Xinerama heads.
#pragma once

#include "monitor_rules.hpp"

#include <X11/Xlib.h>

#include <vector>

// The server's monitors: RandR's where it lists two or more, else the
// Xinerama heads where there are two or more (the first marked primary),
// else none, meaning the whole screen.
std::vector<MonitorArea> query_monitors(Display* display, Window root);
