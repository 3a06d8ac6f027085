#include "screen_changes.hpp"

#include "geometry.hpp"
#include "monitors.hpp"

#include <X11/extensions/Xrandr.h>

namespace {

int randr_event_base = -1;  // -1: the server has no RandR

}  // namespace

bool refresh_bar_monitor()
{
    // The root's own geometry, not Xlib's cached screen size, which only
    // some notices update.
    Window root = None;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(ds.display, ds.root, &root, &x, &y, &width, &height, &border, &depth))
        return false;
    const Rect monitor = choose_bar_monitor(query_monitors(ds.display, ds.root),
                                            static_cast<int>(width), static_cast<int>(height));
    const bool changed = static_cast<int>(width) != ds.screen_width ||
                         static_cast<int>(height) != ds.screen_height || !(monitor == ds.monitor);
    ds.screen_width = static_cast<int>(width);
    ds.screen_height = static_cast<int>(height);
    ds.monitor = monitor;
    return changed;
}

void select_screen_changes()
{
    int error_base = 0;
    if (XRRQueryExtension(ds.display, &randr_event_base, &error_base)) {
        XRRSelectInput(ds.display, ds.root,
                       RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    } else {
        randr_event_base = -1;
        XSelectInput(ds.display, ds.root, PropertyChangeMask | StructureNotifyMask);
    }
}

bool is_screen_change(XEvent& event)
{
    const bool randr = randr_event_base >= 0 &&
                       (event.type == randr_event_base + RRScreenChangeNotify ||
                        event.type == randr_event_base + RRNotify);
    const bool root_configure = event.type == ConfigureNotify && event.xconfigure.window == ds.root;
    if (!randr && !root_configure)
        return false;
    XRRUpdateConfiguration(&event);
    return true;
}
