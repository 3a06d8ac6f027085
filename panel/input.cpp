#include "input.hpp"

#include "clients.hpp"
#include "draw.hpp"
#include "geometry.hpp"
#include "look.hpp"
#include "tray.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

void set_collapsed(Panel& panel, bool collapsed)
{
    panel.collapsed = collapsed;
    place_panel(panel);
    place_tray_icons(panel);
}

// Window managers that prevent focus stealing honour a click on the bar
// only when it is also asked for the EWMH way, as a pager would.
bool window_manager_activates()
{
    const PropertyItems supported(ds.root, ds.atoms[NetSupported], XA_ATOM);
    for (long atom : supported)
        if (xid_item(atom) == ds.atoms[NetActiveWindow])
            return true;
    return false;
}

void send_to_root(Window window, Atom type, long l0, long l1, long l2, long mask)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    XSendEvent(ds.display, ds.root, False, mask, &event);
}

void request_activation(const Panel& panel, const TrackedWindow& record, Time time)
{
    constexpr long SOURCE_PAGER = 2;
    if (window_manager_activates())
        send_to_root(record.window, ds.atoms[NetActiveWindow], SOURCE_PAGER,
                     static_cast<long>(time), static_cast<long>(panel.window),
                     SubstructureNotifyMask | SubstructureRedirectMask);
}

void act_on_client(Panel& panel, TrackedWindow& record, Time time)
{
    switch (client_action(record.active, record.minimized)) {
    case ClientAction::Restore:
        record.minimized = false;
        record.active = true;
        XMapWindow(ds.display, record.window);
        XRaiseWindow(ds.display, record.window);
        XSetInputFocus(ds.display, record.window, RevertToNone, CurrentTime);
        request_activation(panel, record, time);
        break;
    case ClientAction::Minimize:
        // No focus request: the window manager decides where focus goes.
        record.minimized = true;
        record.active = false;
        XIconifyWindow(ds.display, record.window, ds.screen);
        break;
    case ClientAction::RaiseAndFocus:
        record.active = true;
        XRaiseWindow(ds.display, record.window);
        XMapWindow(ds.display, record.window);
        XSetInputFocus(ds.display, record.window, RevertToNone, CurrentTime);
        request_activation(panel, record, time);
        break;
    }
    flush_and_wait();
    request_button_repaint(panel, record);
}

// The whole list is walked, not only up to the hit: every other button
// that looks pressed is released, so at most the hit one stays pressed.
void press_client_buttons(Panel& panel, int x, Time time)
{
    for (TrackedWindow* record = panel.first_client; record; record = record->next) {
        if (hits_client_button(x, record->button_left, record->button_width)) {
            act_on_client(panel, *record, time);
        } else if (record->active) {
            record->active = false;
            request_button_repaint(panel, *record);
        }
    }
}

}  // namespace

void on_button_press(Panel& panel, int x, int y, Time time)
{
    // A press on the strip asks for the desktop and then goes on: it may
    // also collapse or expand the bar, or release the client buttons.
    const int desktop = pressed_desktop(x, ds.pager_width);
    if (desktop >= 0) {
        // Wrapping arithmetic: the message carries `desktop` whatever
        // number the root published as the current one.
        const auto offset = static_cast<int>(static_cast<std::uint32_t>(desktop) -
                                             static_cast<std::uint32_t>(panel.desktop));
        request_desktop(panel, offset, time);
    }

    switch (press_action(x, y, ds.monitor.width, ds.clock_left, panel.collapsed, panel.top_edge,
                         panel.tray_icons)) {
    case PressAction::Expand:
        set_collapsed(panel, false);
        break;
    case PressAction::Collapse:
        set_collapsed(panel, true);
        break;
    case PressAction::SwitchEdge:
        panel.top_edge = !panel.top_edge;
        place_panel(panel);
        break;
    case PressAction::Tray:
        break;  // the icons take their own input; their background does nothing
    case PressAction::Clock:
        spawn_command(ds.calendar_command);
        break;
    case PressAction::Start:
        spawn_command("Start");
        break;
    case PressAction::ClientButtons:
        press_client_buttons(panel, x, time);
        break;
    }
}

void on_pointer_motion(Panel& panel, int y)
{
    if (motion_toggles(y, panel.collapsed, panel.top_edge))
        set_collapsed(panel, !panel.collapsed);
}

void request_desktop(Panel& panel, int offset, Time time)
{
    // Wrapping, not overflowing, whatever desktop number the root published.
    const auto target = static_cast<int>(static_cast<std::uint32_t>(panel.desktop) +
                                          static_cast<std::uint32_t>(offset));
    if (target < 0)
        return;

    // A count that exists but holds no item bounds nothing, like a missing one.
    if (!desktop_request_allowed(target, desktop_count()))
        return;

    // Unflushed on purpose: the request leaves with the loop's next XPending.
    const bool speaks_net_only = !PropertyItems(ds.root, ds.atoms[WinWorkspace], XA_CARDINAL).has(0) &&
                                 PropertyItems(ds.root, ds.atoms[NetCurrentDesktop], XA_CARDINAL).has(0);
    if (speaks_net_only)
        send_to_root(ds.root, ds.atoms[NetCurrentDesktop], target, static_cast<long>(time), 0,
                     SubstructureNotifyMask | SubstructureRedirectMask);
    else
        send_to_root(ds.root, ds.atoms[WinWorkspace], target, 0, 0, SubstructureNotifyMask);
}

namespace {

// The child starts its command as if from a fresh shell: every signal at
// its default action and none blocked, whatever the panel inherited or set.
void reset_signals_for_child()
{
    for (int signal_number = 1; signal_number < NSIG; ++signal_number)
        std::signal(signal_number, SIG_DFL);  // SIGKILL, SIGSTOP and gaps simply fail
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace

int spawn_command(const char* command)
{
    // Nothing buffered may be written twice, once by each process.
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) {
        std::printf("fork error\n");
        std::fflush(stdout);
        return 0;
    }
    if (pid == 0) {
        reset_signals_for_child();
        execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
        std::printf("System Error: Execl failed!\n");
        std::fflush(stdout);  // _exit does not flush stdio
        _exit(127);
    }
    return 0;
}

void init_launcher()
{
    // Finished commands are reaped by the kernel: no handler, nothing to
    // collect in the loop, and no defunct child even while the bar sleeps.
    // The child puts SIGCHLD back to its default before it runs the command.
    struct sigaction reap{};
    reap.sa_handler = SIG_IGN;
    sigemptyset(&reap.sa_mask);
    reap.sa_flags = SA_NOCLDWAIT;
    sigaction(SIGCHLD, &reap, nullptr);

    // The shell and its command must not hold the panel's X connection.
    const int x_fd = ConnectionNumber(ds.display);
    fcntl(x_fd, F_SETFD, fcntl(x_fd, F_GETFD) | FD_CLOEXEC);
}
