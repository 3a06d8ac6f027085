#include "geometry.hpp"

#include "constants.hpp"

#include <algorithm>

// ---- Look and window ------------------------------------------------------

int baseline_for_ascent(int ascent)
{
    // Integer division truncates toward zero: ascent 27 gives 26, not 25.
    return ascent + (24 - ascent) / 2;
}

Placement panel_placement(int screen_height, bool collapsed, bool top_edge)
{
    const Rect bar = bar_rect({0, 0, 1, screen_height}, collapsed, top_edge);
    return {bar.y, bar.height};
}

std::array<long, 12> panel_strut(int screen_width, bool top_edge)
{
    return bar_strut({0, 0, screen_width, 1}, 1, top_edge).partial;
}

// ---- The bar's monitor ----------------------------------------------------

Rect choose_bar_monitor(const std::vector<MonitorArea>& monitors, int screen_width,
                        int screen_height)
{
    const std::vector<MonitorArea> usable = usable_monitors(monitors, screen_width, screen_height);
    for (const MonitorArea& monitor : usable)
        if (monitor.primary)
            return monitor.rect;
    return usable.front().rect;
}

Rect bar_rect(Rect monitor, bool collapsed, bool top_edge)
{
    const int height = collapsed ? COLLAPSED_HEIGHT : PANEL_HEIGHT;
    const int y = top_edge ? monitor.y : std::max(monitor.y, monitor.y + monitor.height - height);
    return {monitor.x, y, std::max(monitor.width, 1), height};
}

BarStrut bar_strut(Rect monitor, int screen_height, bool top_edge)
{
    BarStrut strut{{}, false};
    const long first = monitor.x;
    const long last = static_cast<long>(monitor.x) + std::max(monitor.width, 1) - 1;
    if (top_edge) {
        strut.partial[2] = static_cast<long>(monitor.y) + COLLAPSED_HEIGHT;
        strut.partial[8] = first;
        strut.partial[9] = last;
        strut.whole_edge = monitor.y <= 0;
    } else {
        const long below = static_cast<long>(screen_height) - monitor.y - monitor.height;
        strut.partial[3] = std::max(below, 0L) + COLLAPSED_HEIGHT;
        strut.partial[10] = first;
        strut.partial[11] = last;
        strut.whole_edge = below <= 0;
    }
    return strut;
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

int desktop_buttons_shown(std::uint32_t desktop_count, int screen_width)
{
    if (desktop_count <= 1)
        return 0;
    // Button i takes 48 + 24i to 73 + 24i with its separator; the strip's
    // closing groove at P + 52, P + 53 must end before the clock at S - 43.
    const int fit = (screen_width - 97) / 24;  // a desktop button is 24 wide
    if (fit <= 0)
        return 0;
    return desktop_count < static_cast<std::uint32_t>(fit) ? static_cast<int>(desktop_count) : fit;
}

namespace {

// Columns for the client buttons without a tray: from the desktop strip's
// closing groove to three columns into the clock.
int client_room(int screen_width, int pager_width)
{
    return screen_width - pager_width - 91;
}

}  // namespace

ClientLayout layout_client_buttons(int screen_width, int pager_width, int client_count,
                                   int tray_icons)
{
    const int first_left = pager_width + FIRST_SLOT_OFFSET;
    const int room = client_room(screen_width, pager_width) - TRAY_SLOT_WIDTH * tray_icons;
    if (client_count <= 0)
        return {first_left, 0, 0, true, first_left};

    int step = room / client_count;
    if (step > MAX_BUTTON_STEP)
        return {first_left, MAX_BUTTON_STEP, client_count, true,
                first_left + client_count * MAX_BUTTON_STEP};
    if (step > 0)
        return {first_left, step, client_count, false, first_left + client_count * step};

    // More records than pixels: keep usable buttons for as many as fit and
    // clear the rest, so nothing stale remains where no button is drawn.
    step = OVERFLOW_BUTTON_STEP;
    const int shown = room > 0 ? room / step : 0;
    return {first_left, step, shown, true, first_left + shown * step};
}

std::size_t title_fit_length(std::string_view title, const CharWidths& widths, int max_width)
{
    // The same answer as taking bytes off the end while the rest is too wide:
    // the last prefix narrower than max_width, 0 at the latest. Widths may be
    // zero or (in odd fonts) negative, so every prefix is looked at.
    std::size_t fit = 0;
    long long width = 0;
    for (std::size_t n = 1; n <= title.size(); ++n) {
        width += widths[static_cast<unsigned char>(title[n - 1])];
        if (width < max_width)
            fit = n;
    }
    return fit;
}

// ---- The tray -------------------------------------------------------------

int tray_left(int screen_width, int shown)
{
    return screen_width - 43 - TRAY_SLOT_WIDTH * shown;
}

int tray_icon_left(int screen_width, int slot)
{
    return screen_width - 61 - TRAY_SLOT_WIDTH * slot;
}

int tray_capacity(int screen_width, int pager_width)
{
    // room - 20k >= room / 2 exactly when 40k <= room.
    const int room = client_room(screen_width, pager_width);
    return room > 0 ? room / (2 * TRAY_SLOT_WIDTH) : 0;
}

bool in_tray(int x, int screen_width, int shown)
{
    return shown > 0 && x >= tray_left(screen_width, shown) && x <= screen_width - 44;
}

// ---- Icon scaling ---------------------------------------------------------

int icon_source_index(int dest_index, int source_size, int dest_size)
{
    // Both operands are non-negative, so truncation is the floor; the wide
    // product keeps a 65535-pixel source exact.
    return static_cast<int>(static_cast<long long>(dest_index) * source_size / dest_size);
}


// ---- Presses, motion and the pointer poll ---------------------------------

namespace {
constexpr int BAR_HEIGHT = 24;         // rows of the expanded bar
constexpr int DESK_BUTTON_PITCH = 24;  // columns per desktop button
}  // namespace

int pressed_desktop(int x, int pager_width)
{
    if (x <= START_AREA_WIDTH || x - START_AREA_WIDTH >= pager_width)
        return -1;
    return (x - START_AREA_WIDTH) / DESK_BUTTON_PITCH;
}

bool in_collapse_band(int y, bool top_edge)
{
    return top_edge ? y <= 2 : y > 21;
}

PressAction press_action(int x, int y, int screen_width, int clock_left, bool collapsed,
                         bool top_edge, int tray_icons)
{
    if (collapsed)
        return PressAction::Expand;
    if (in_collapse_band(y, top_edge))
        return PressAction::Collapse;
    if (x + 2 > screen_width)  // the last column only
        return PressAction::SwitchEdge;
    // Over the last button's few columns too: the tray is painted over them.
    if (in_tray(x, screen_width, tray_icons))
        return PressAction::Tray;
    if (x > clock_left)
        return PressAction::Clock;
    if (x < START_AREA_WIDTH)
        return PressAction::Start;
    return PressAction::ClientButtons;
}

bool hits_client_button(int x, int button_left, int button_width)
{
    return button_left < x && x < button_left + button_width;
}

ClientAction client_action(bool active, bool minimized)
{
    if (minimized)
        return ClientAction::Restore;
    if (active)
        return ClientAction::Minimize;
    return ClientAction::RaiseAndFocus;
}

bool desktop_request_allowed(std::int64_t target, std::optional<std::uint32_t> count)
{
    if (target < 0)
        return false;
    return !count || static_cast<std::uint64_t>(target) < *count;
}

bool motion_toggles(int y, bool collapsed, bool top_edge)
{
    // Expanded, only the row farthest from the screen edge collapses the bar.
    if (collapsed)
        return true;
    return top_edge ? y > BAR_HEIGHT - 2 : y == 0;
}

bool poll_toggles(int root_y, int screen_height, bool collapsed, bool top_edge)
{
    return poll_toggles_on(0, root_y, {0, 0, 1, screen_height}, collapsed, top_edge);
}

bool poll_toggles_on(int root_x, int root_y, Rect monitor, bool collapsed, bool top_edge)
{
    const bool over_columns = root_x >= monitor.x && root_x - monitor.x < monitor.width;
    const int top = monitor.y;
    const int bottom = monitor.y + monitor.height;  // the first row below the monitor
    if (collapsed) {
        const bool at_edge = top_edge ? root_y >= top && root_y <= top + 2
                                      : root_y >= bottom - 2 && root_y < bottom;
        return over_columns && at_edge;
    }
    const bool away = top_edge ? root_y < top || root_y > top + BAR_HEIGHT
                               : root_y >= bottom || root_y < bottom - BAR_HEIGHT;
    return !over_columns || away;
}
