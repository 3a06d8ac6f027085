// Pure computations of the panel: plain values in, plain values out, no X.
// The X code applies what these return; the tests call them directly.
#pragma once

#include "monitor_rules.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

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

// ---- The bar's monitor ---------------------------------------------------

// The monitor the bar lives on: the first primary one, else the first, of
// the monitors cut to the screen (the whole screen when none is usable).
Rect choose_bar_monitor(const std::vector<MonitorArea>& monitors, int screen_width,
                        int screen_height);

// Where the bar goes on its monitor: the monitor's width, at its bottom or
// top row. Never above the monitor's top, never less than one column wide.
Rect bar_rect(Rect monitor, bool collapsed, bool top_edge);

struct BarStrut {
    // _NET_WM_STRUT_PARTIAL: sizes from the screen's edges, then the start
    // and end of each edge; the bar reserves its hidden height below (or
    // above) its monitor's edge, over the monitor's columns only.
    std::array<long, 12> partial;
    // _NET_WM_STRUT reserves a whole screen edge: only where the monitor
    // touches it.
    bool whole_edge;
};
BarStrut bar_strut(Rect monitor, int screen_height, bool top_edge);

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

// The first client slot starts this far right of the desktop strip; a slot
// left of it means the record has none.
constexpr int FIRST_SLOT_OFFSET = 52;
// A slot is never wider than this; wider room leaves a rest after the slots.
constexpr int MAX_BUTTON_STEP = 145;
// With more records than pixels, the slot width of the buttons still shown:
// room for the groove and the whole icon in either look.
constexpr int OVERFLOW_BUTTON_STEP = 24;

// Desktop buttons to draw for the root's desktop count: none for a count of
// 0 or 1, and never more than fit, with the groove closing the strip, left of
// the clock's groove.
int desktop_buttons_shown(std::uint32_t desktop_count, int screen_width);

struct ClientLayout {
    int first_left;  // x of the first slot, just after the desktop strip
    int step;        // slot width; each button is step - 1 wide
    int shown;       // records given a slot, counted from the first in list order
    bool rest;       // the area after the last slot is cleared
    int rest_left;   // x of the groove that starts the rest
};

// Slots of the client buttons between the desktop strip and the tray (the
// clock when no tray icon is shown). With more records than pixels, only the
// first room / OVERFLOW_BUTTON_STEP get a slot; the others are not drawn and
// get no press region.
ClientLayout layout_client_buttons(int screen_width, int pager_width, int client_count,
                                   int tray_icons = 0);

// Advance width of each byte in the bar's font.
using CharWidths = std::array<int, 256>;

// Bytes of `title` to draw: the longest prefix narrower than max_width, or 0
// when even the empty one is not. One pass, so a huge title costs no more
// than its length.
std::size_t title_fit_length(std::string_view title, const CharWidths& widths, int max_width);

// ---- The tray -------------------------------------------------------------

// Each shown tray icon takes a slot this wide left of the clock; slot 0 is
// next to the clock, each newer icon left of the others.
constexpr int TRAY_SLOT_WIDTH = 20;
// Rows of a tray icon: ICON_SIZE from this one down.
constexpr int TRAY_ICON_TOP = 4;

// First column of the tray (its groove) with `shown` icons; the tray ends
// at S - 44, just before the clock's groove.
int tray_left(int screen_width, int shown);
// x of the icon in slot `slot`, two columns into the slot.
int tray_icon_left(int screen_width, int slot);
// How many icons may be shown: never so many that the client room drops
// below half of what it is without a tray.
int tray_capacity(int screen_width, int pager_width);
// Whether column x lies on the tray's background (its groove included).
bool in_tray(int x, int screen_width, int shown);

// ---- Icon scaling ---------------------------------------------------------

// Nearest-pixel sampling: the source column (or row) shown at `dest_index`
// of a `dest_size`-pixel copy of a `source_size`-pixel picture. Larger
// pictures skip pixels, smaller ones repeat them.
int icon_source_index(int dest_index, int source_size, int dest_size = 16);

// ---- Presses, motion and the pointer poll ---------------------------------

// Columns 0..47 are the Start area; the desktop strip begins after them.
constexpr int START_AREA_WIDTH = 48;

// The desktop whose button lies under column x, or -1 outside the strip.
int pressed_desktop(int x, int pager_width);

// The rows on the screen-edge side of an expanded bar that collapse it.
bool in_collapse_band(int y, bool top_edge);

// What a button-1 press does once any desktop request has gone out. The
// regions overlap; they are tested in this order and the first one wins.
// A press on the tray's background (`tray_icons` shown) belongs to nothing.
enum class PressAction { Expand, Collapse, SwitchEdge, Tray, Clock, Start, ClientButtons };
PressAction press_action(int x, int y, int screen_width, int clock_left, bool collapsed,
                         bool top_edge, int tray_icons = 0);

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
// The same on the bar's monitor: the edge rows are its own, and a pointer
// outside its columns is away from the bar.
bool poll_toggles_on(int root_x, int root_y, Rect monitor, bool collapsed, bool top_edge);
