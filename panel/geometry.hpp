// Pure computations of the panel: plain values in, plain values out, no X.
// The X code applies what these return; the tests call them directly.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// ---- Look and window ------------------------------------------------------

// y of the text baseline in the 24-pixel bar for a font's overall ascent.
int baseline_for_ascent(int ascent);

struct Placement {
    int y;
    int height;
};
// Where the full-width bar goes for its two flags.
Placement panel_placement(int screen_height, bool collapsed, bool top_edge);

// The space the bar reserves along its edge for window managers that keep
// maximised windows clear of it: left, right, top, bottom, then the start
// and end of each of the four edges. The hidden height is reserved, so
// windows do not jump when an auto-hiding bar expands.
std::array<long, 12> panel_strut(int screen_width, bool top_edge);

// ---- Event loop -----------------------------------------------------------

// Seconds left to the next full minute, from gmtime's tm_sec (0..60).
int seconds_to_next_minute(int tm_sec);

// ---- Client-button layout and drawing -------------------------------------

// ---- Icon scaling ---------------------------------------------------------

// ---- Presses, motion and the pointer poll ---------------------------------
