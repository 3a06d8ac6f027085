#include "burst.hpp"

#include "draw.hpp"
#include "look.hpp"
#include "screen_changes.hpp"
#include "tracking.hpp"
#include "tray.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto SCREEN_SETTLE = std::chrono::milliseconds(250);
// Lists that change again this soon after a sync are in the middle of a
// change; the pause that ends it, and the longest a sync then waits.
constexpr auto LIST_BUSY = std::chrono::milliseconds(20);
constexpr auto LIST_PAUSE = std::chrono::milliseconds(3);
constexpr auto LIST_PATIENCE = std::chrono::milliseconds(40);

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

bool more_of_the_change(const Panel& panel)
{
    if (!panel.due.sync || !panel.due.sync_asked ||
        *panel.due.sync_asked - panel.due.last_sync > LIST_BUSY)
        return false;  // a change after a quiet spell is synced at once
    const auto left = *panel.due.sync_asked + LIST_PATIENCE - Clock::now();
    if (left <= Clock::duration::zero())
        return false;
    // A sleep rather than a wait on the connection: what comes meanwhile
    // is taken in at one wake-up, not one for each event.
    std::this_thread::sleep_for(std::min<Clock::duration>(LIST_PAUSE, left));
    return XPending(ds.display) > 0;
}

void finish_burst(Panel& panel)
{
    if (panel.due.placement && Clock::now() >= *panel.due.placement)
        follow_screen_change(panel);
    // Whatever the last sync's reads saw before them has been taken in.
    panel.sync_first_read.reset();
    if (panel.due.sync) {
        panel.due.sync = false;
        panel.due.sync_asked.reset();
        panel.due.focus = false;  // the sync reads it
        sync_client_list(panel);
        panel.due.last_sync = Clock::now();
    }
    check_focus(panel);
    read_due_properties(panel);
    paint_due(panel);
}
