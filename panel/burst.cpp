#include "burst.hpp"

#include "draw.hpp"
#include "look.hpp"
#include "screen_changes.hpp"
#include "tracking.hpp"
#include "tray.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto SCREEN_SETTLE = std::chrono::milliseconds(250);

// On the monitor chosen now, at the same edge and in the same state, with
// every client, the tray and its icons kept, and painted in this burst: a
// nested server that is still resizing its own window may send no exposure.
void follow_screen_change(Panel& panel)
{
    panel.due.placement.reset();
    if (!refresh_bar_monitor())
        return;
    place_panel(panel);
    refit_tray(panel);
    XClearWindow(ds.display, panel.window);
    request_whole_repaint(panel);
}

}  // namespace

void start_gathering(Panel& panel)
{
    panel.due.gathering = true;
}

void note_screen_change(Panel& panel)
{
    panel.due.placement = Clock::now() + SCREEN_SETTLE;
}

void finish_burst(Panel& panel)
{
    if (panel.due.placement && Clock::now() >= *panel.due.placement)
        follow_screen_change(panel);
    // Whatever the last sync's reads saw before them has been taken in.
    panel.sync_first_read.reset();
    if (panel.due.sync) {
        panel.due.sync = false;
        panel.due.focus = false;  // the sync reads it
        sync_client_list(panel);
    }
    check_focus(panel);
    read_due_properties(panel);
    paint_due(panel);
}
