// Where the pop-up goes: at the pointer, moved left or up just enough to
// lie wholly on the monitor under the pointer. Pure, tested without a server.
#pragma once

#include "monitor_rules.hpp"

struct Point {
    int x;
    int y;
};

// Top-left corner of a pop-up whose outer size (border included) is
// outer_width by outer_height, opened with the pointer at `at`. A pop-up
// larger than the monitor starts at the monitor's left or top edge.
Point popup_origin(Point at, int outer_width, int outer_height, Rect monitor);
