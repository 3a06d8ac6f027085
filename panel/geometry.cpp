#include "geometry.hpp"

#include "constants.hpp"

// ---- Look and window ------------------------------------------------------

int baseline_for_ascent(int ascent)
{
    // Integer division truncates toward zero: ascent 27 gives 26, not 25.
    return ascent + (24 - ascent) / 2;
}

Placement panel_placement(int screen_height, bool collapsed, bool top_edge)
{
    const int height = collapsed ? COLLAPSED_HEIGHT : PANEL_HEIGHT;
    return {top_edge ? 0 : screen_height - height, height};
}

std::array<long, 12> panel_strut(int screen_width, bool top_edge)
{
    std::array<long, 12> strut{};
    if (top_edge) {
        strut[2] = COLLAPSED_HEIGHT;
        strut[8] = 0;
        strut[9] = screen_width - 1;
    } else {
        strut[3] = COLLAPSED_HEIGHT;
        strut[10] = 0;
        strut[11] = screen_width - 1;
    }
    return strut;
}

// ---- Event loop -----------------------------------------------------------

int seconds_to_next_minute(int tm_sec)
{
    return 60 - tm_sec;
}

// ---- Client-button layout and drawing -------------------------------------


// ---- Icon scaling ---------------------------------------------------------


// ---- Presses, motion and the pointer poll ---------------------------------
