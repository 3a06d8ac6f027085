#include "geometry.hpp"

// ---- Look and window ------------------------------------------------------

int baseline_for_ascent(int ascent)
{
    // Integer division truncates toward zero: ascent 27 gives 26, not 25.
    return ascent + (24 - ascent) / 2;
}

Placement panel_placement(int screen_height, bool collapsed, bool top_edge)
{
    const int height = collapsed ? 2 : 24;
    return {top_edge ? 0 : screen_height - height, height};
}

// ---- Event loop -----------------------------------------------------------

int seconds_to_next_minute(int tm_sec)
{
    return 60 - tm_sec;
}

long long next_clock_deadline(long long now, int tm_sec, long long served)
{
    const long long deadline = now + seconds_to_next_minute(tm_sec);
    return deadline > served ? deadline : served + 1;
}

// ---- Client-button layout and drawing -------------------------------------


// ---- Icon scaling ---------------------------------------------------------


// ---- Presses, motion and the pointer poll ---------------------------------
