// Pure computations of the panel: plain values in, plain values out, no X.
// The X code applies what these return; the tests call them directly.
#pragma once

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

// ---- Event loop -----------------------------------------------------------

// Seconds left to the next full minute, from gmtime's tm_sec (0..60).
int seconds_to_next_minute(int tm_sec);

// The time (seconds since the epoch) at which the clock is next repainted:
// the next full minute after `now`, whose second is `tm_sec`, but always
// later than `served`, the deadline just repainted. During a leap second the
// time-out is 0, and without that bound the loop would repaint in a spin
// until the second is over.
long long next_clock_deadline(long long now, int tm_sec, long long served);

// ---- Client-button layout and drawing -------------------------------------

// ---- Icon scaling ---------------------------------------------------------

// ---- Presses, motion and the pointer poll ---------------------------------
