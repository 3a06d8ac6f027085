// Pure computations of the panel: plain values in, plain values out, no X.
// The X code applies what these return; the tests call them directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

// ---- Client-button layout and drawing -------------------------------------

// ---- Icon scaling ---------------------------------------------------------

// ---- Presses, motion and the pointer poll ---------------------------------

// Columns 0..47 are the Start area; the desktop strip begins after them.
constexpr int START_AREA_WIDTH = 48;

// The desktop whose button lies under column x, or -1 outside the strip.
int pressed_desktop(int x, int pager_width);

// The rows on the screen-edge side of an expanded bar that collapse it.
bool in_collapse_band(int y, bool top_edge);

// What a button-1 press does once any desktop request has gone out. The
// regions overlap; they are tested in this order and the first one wins.
enum class PressAction { Expand, Collapse, SwitchEdge, Clock, Start, ClientButtons };
PressAction press_action(int x, int y, int screen_width, int clock_left, bool collapsed,
                         bool top_edge);

// Both bounds exclusive: the separator column and the column just past the
// button belong to no button.
bool hits_client_button(int x, int button_left, int button_width);

// What a press on a client's button does, from the button's flags.
enum class ClientAction { Restore, Minimize, RaiseAndFocus };
ClientAction client_action(bool active, bool minimized);

// Whether a desktop-switch request for `target` may go out, given the
// root's desktop count (nullopt: no count published, so no upper bound).
// The count is compared as an unsigned 32-bit number.
bool desktop_request_allowed(std::int64_t target, std::optional<std::uint32_t> count);

// Whether a motion event at bar row y collapses or expands the bar.
bool motion_toggles(int y, bool collapsed, bool top_edge);

// Whether the pointer poll, seeing the pointer at root row root_y, collapses
// or expands the bar. The bounds are deliberately not mirror images: at the
// top row 24 keeps an expanded bar, at the bottom row H-25 already collapses it.
bool poll_toggles(int root_y, int screen_height, bool collapsed, bool top_edge);
