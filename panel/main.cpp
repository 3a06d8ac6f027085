// The panel's entry routine and its only loop.
#include "burst.hpp"
#include "clients.hpp"
#include "command_line.hpp"
#include "display_state.hpp"
#include "draw.hpp"
#include "geometry.hpp"
#include "input.hpp"
#include "look.hpp"
#include "screen_changes.hpp"
#include "tracking.hpp"
#include "tray.hpp"
#ifdef PANEL_POINTER_POLL
#include "pointer_poll.hpp"
#endif

#include <sys/select.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <optional>

namespace {

#ifdef PANEL_POINTER_POLL
constexpr const char* CALENDAR_COMMAND = "calendar";
constexpr ProgramText PROGRAM = {
    "panel",
    "A task bar along the bottom of the screen: desktops, windows, a system tray\n"
    "and a clock. It hides itself while the pointer is away from it.\n"};
#else
constexpr const char* CALENDAR_COMMAND = "xcalendar";
constexpr ProgramText PROGRAM = {
    "panel-lite",
    "A task bar along the bottom of the screen: desktops, windows, a system tray\n"
    "and a clock. It hides and shows itself on clicks and motion over it.\n"};
#endif

// ---- Dispatch -------------------------------------------------------------

void on_button_event(Panel& panel, const XEvent& event)
{
    if (event.xbutton.button == Button1)
        on_button_press(panel, event.xbutton.x, event.xbutton.y, event.xbutton.time);
}

void on_motion_event(Panel& panel, const XEvent& event)
{
    on_pointer_motion(panel, event.xmotion.y);
}

void on_focus_event(Panel& panel, const XEvent& event)
{
    on_focus_change(panel, event.xfocus);
}

void on_expose_event(Panel& panel, const XEvent&)
{
    request_whole_repaint(panel);
}

// A window whose record a sync has already removed changes nothing.
void on_destroy_event(Panel& panel, const XEvent& event)
{
    const bool had_record = untrack_window(panel, event.xdestroywindow.window);
    // A destroyed window sends no FocusOut.
    panel.due.focus_known &= !had_record;
    if (on_tray_destroy(panel, event.xdestroywindow.window))
        request_whole_repaint(panel);
    else if (had_record)
        request_list_repaint(panel);
}

void on_property_event(Panel& panel, const XEvent& event)
{
    on_tray_property(panel, event.xproperty.window, event.xproperty.atom);
    on_property_notify(panel, event.xproperty.window, event.xproperty.atom);
}

// Structure notices come from tracked clients too; the tray's handlers
// answer only for its icons.
void on_map_event(Panel& panel, const XEvent& event)
{
    on_tray_map(panel, event.xmap.window);
}

void on_unmap_event(Panel& panel, const XEvent& event)
{
    on_tray_unmap(panel, event.xunmap.window);
}

void on_configure_event(Panel& panel, const XEvent& event)
{
    on_tray_configure(panel, event.xconfigure);
}

void on_reparent_event(Panel& panel, const XEvent& event)
{
    on_tray_reparent(panel, event.xreparent);
}

void on_client_message_event(Panel& panel, const XEvent& event)
{
    on_tray_message(panel, event.xclient);
}

void on_selection_clear_event(Panel& panel, const XEvent& event)
{
    on_tray_selection_clear(panel, event.xselectionclear);
}

using Handler = void (*)(Panel&, const XEvent&);
constexpr auto handlers = [] {
    std::array<Handler, LASTEvent> h{};
    h[ButtonPress] = on_button_event;
    h[MotionNotify] = on_motion_event;
    h[FocusIn] = on_focus_event;
    h[FocusOut] = on_focus_event;
    h[Expose] = on_expose_event;
    h[DestroyNotify] = on_destroy_event;
    h[PropertyNotify] = on_property_event;
    h[MapNotify] = on_map_event;
    h[UnmapNotify] = on_unmap_event;
    h[ConfigureNotify] = on_configure_event;
    h[ReparentNotify] = on_reparent_event;
    h[ClientMessage] = on_client_message_event;
    h[SelectionClear] = on_selection_clear_event;
    return h;
}();

// ---- Bursts ----------------------------------------------------------------

// One read of the connection, then whatever the handlers' own replies
// queued: what comes meanwhile is left to the next round, which reads again.
void take_queued_events(Panel& panel)
{
    for (int queued = XPending(ds.display); queued > 0;
         queued = XEventsQueued(ds.display, QueuedAlready)) {
        XEvent event;
        XNextEvent(ds.display, &event);
        if (is_screen_change(event))
            note_screen_change(panel);
        else if (seen_by_sync(panel, event))
            continue;
        else if (event.type >= 0 && event.type < LASTEvent && handlers[event.type])
            handlers[event.type](panel, event);
    }
}

// Handlers note their work (a screen change notes a placement); it is done
// once per burst, when the queue is empty and a change of the lists has
// paused. The work's own round trips may queue more events: a burst of
// their own. XPending also sends the paint.
void drain_events(Panel& panel)
{
    do {
        do
            take_queued_events(panel);
        while (more_of_the_change(panel));
        finish_burst(panel);
    } while (XPending(ds.display));
}

// The wait's time-out: the seconds to the clock's minute, cut short when a
// placement falls due earlier.
timeval wait_time(const Panel& panel, time_t seconds)
{
    timeval timeout{std::max<time_t>(seconds, 0), 0};
    if (const auto& placement = panel.due.placement) {
        const auto left = std::max(std::chrono::duration_cast<std::chrono::microseconds>(
                                       *placement - std::chrono::steady_clock::now()),
                                   std::chrono::microseconds(0));
        if (left.count() < static_cast<long long>(timeout.tv_sec) * 1000000)
            timeout = {static_cast<time_t>(left.count() / 1000000),
                       static_cast<suseconds_t>(left.count() % 1000000)};
    }
    return timeout;
}

// ---- The minute -----------------------------------------------------------

// The full minute the clock is waiting for, kept across interrupted waits.
time_t next_full_minute(time_t served)
{
    const time_t now = std::time(nullptr);
    return next_clock_deadline(now, std::gmtime(&now)->tm_sec, served);
}

[[noreturn]] void run_event_loop(Panel& panel, int poll_fd)
{
    const int x_fd = ConnectionNumber(ds.display);
    time_t deadline = next_full_minute(0);
    start_gathering(panel);
    // Start-up's XSync may already have queued the first Expose, and the
    // placement requests are still unflushed: neither must wait for traffic.
    drain_events(panel);
    for (;;) {
        const time_t now = std::time(nullptr);
        // A clock set back leaves the deadline far off; aim at the next minute instead.
        if (deadline - now > 60)
            deadline = next_full_minute(0);
        // A wait cut short for a placement is not the minute's.
        const bool waits_for_minute = !panel.due.placement;
        timeval timeout = wait_time(panel, deadline - now);

        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(x_fd, &readable);
        if (poll_fd >= 0)
            FD_SET(poll_fd, &readable);
        const int ready = select(std::max(x_fd, poll_fd) + 1, &readable, nullptr, nullptr, &timeout);

        // A wait cut short by a signal or by traffic still repaints the
        // clock once the minute it was waiting for has come.
        if ((ready == 0 && waits_for_minute) || std::time(nullptr) >= deadline) {
            request_clock_repaint(panel);
            deadline = next_full_minute(deadline);
        }
#ifdef PANEL_POINTER_POLL
        if (ready > 0 && poll_fd >= 0 && FD_ISSET(poll_fd, &readable))
            run_pointer_check(&panel);
#endif
        // Also after a check: its round trip may have queued events.
        drain_events(panel);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (const auto status = answer_command_line(argc, argv, PROGRAM))
        return *status;
    std::setlocale(LC_ALL, "");
    if (!connect_display())
        return 0;
    // Titles in other encodings are converted to UTF-8 by Xlib, which needs
    // a locale it knows; any it knows will do.
    if (!XSupportsLocale())
        std::setlocale(LC_CTYPE, "C");
    ds.calendar_command = CALENDAR_COMMAND;
    init_launcher();

    int poll_fd = -1;
#ifdef PANEL_POINTER_POLL
    poll_fd = install_pointer_poll();
#endif

    if (!init_look())
        return 1;
    Panel* panel = create_panel();
    if (!panel) {
        std::fprintf(stderr, "panel: out of memory\n");
        return 1;
    }
    init_tray(*panel);
    select_screen_changes();

    flush_and_wait();
    // A change made before the notices were asked for is seen here.
    refresh_bar_monitor();
    place_panel(*panel);
    run_event_loop(*panel, poll_fd);
}
