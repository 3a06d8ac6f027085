#include "pointer_poll.hpp"

#include "geometry.hpp"
#include "look.hpp"
#include "tray.hpp"

#include <sys/time.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Both ends are non-blocking and close-on-exec: the handler must never
// block, and launched commands must not inherit them.
int wake_read_fd = -1;
volatile sig_atomic_t wake_write_fd = -1;

// Xlib is not safe here, and the main flow may be inside an X call or
// half-way through changing a flag: only tell the loop that a check is due.
void pointer_poll(int)
{
    const int saved_errno = errno;
    const char byte = 0;
    if (wake_write_fd >= 0) {
        // A full pipe already holds a wake-up; losing this byte changes nothing.
        [[maybe_unused]] const ssize_t written = write(wake_write_fd, &byte, 1);
    }
    errno = saved_errno;
}

void drain_wake_pipe()
{
    char buffer[64];
    while (read(wake_read_fd, buffer, sizeof buffer) > 0) {
    }
}

}  // namespace

int install_pointer_poll()
{
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return -1;
    wake_read_fd = fds[0];
    wake_write_fd = fds[1];

    struct sigaction action{};
    action.sa_handler = pointer_poll;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGALRM, &action, nullptr);
    arm_poll_timer();
    return wake_read_fd;
}

void arm_poll_timer()
{
    // One shot: the next check comes a second after this one has ended.
    itimerval value{};
    value.it_value.tv_sec = 1;
    setitimer(ITIMER_REAL, &value, nullptr);
}

void run_pointer_check(Panel* panel)
{
    drain_wake_pipe();
    if (panel) {
        Window root = None;
        Window child = None;
        int root_x = 0;
        int root_y = 0;
        int window_x = 0;
        int window_y = 0;
        unsigned int buttons = 0;
        XQueryPointer(ds.display, panel->window, &root, &child, &root_x, &root_y, &window_x,
                      &window_y, &buttons);
        // A reply always names a root; without one there is nothing to judge.
        if (root != None &&
            poll_toggles_on(root_x, root_y, ds.monitor, panel->collapsed, panel->top_edge)) {
            panel->collapsed = !panel->collapsed;
            place_panel(*panel);
            place_tray_icons(*panel);
        }
    }
    arm_poll_timer();
}
