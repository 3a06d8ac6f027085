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

// ---- Client-button layout and drawing -------------------------------------


// ---- Icon scaling ---------------------------------------------------------


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
                         bool top_edge)
{
    if (collapsed)
        return PressAction::Expand;
    if (in_collapse_band(y, top_edge))
        return PressAction::Collapse;
    if (x + 2 > screen_width)  // the last column only
        return PressAction::SwitchEdge;
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
    if (collapsed)
        return top_edge ? root_y <= 2 : root_y >= screen_height - 2;
    return top_edge ? root_y > BAR_HEIGHT : root_y < screen_height - BAR_HEIGHT;
}
