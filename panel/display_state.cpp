#include "display_state.hpp"

#include "screen_changes.hpp"

DisplayState ds;

namespace {

// Interned in one request, in AtomIndex order.
const char* atom_names[ATOM_COUNT] = {
    "KWM_WIN_ICON",     "_MOTIF_WM_HINTS",      "_WIN_WORKSPACE", "_WIN_HINTS", "_WIN_LAYER",
    "_NET_CLIENT_LIST", "_WIN_CLIENT_LIST", "_WIN_WORKSPACE_COUNT", "_WIN_STATE", "WM_STATE",
    "_NET_CURRENT_DESKTOP", "_NET_NUMBER_OF_DESKTOPS", "_NET_SUPPORTED", "_NET_ACTIVE_WINDOW",
    "_NET_WM_DESKTOP", "_NET_WM_STATE", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_ABOVE",
    "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_ICON",
    "_NET_WM_STRUT", "_NET_WM_STRUT_PARTIAL", "_NET_WM_NAME", "UTF8_STRING",
};

}  // namespace

int ignore_x_error(Display*, XErrorEvent*)
{
    return 0;
}

bool connect_display()
{
    ds.display = XOpenDisplay(nullptr);
    if (!ds.display)
        return false;
    ds.screen = DefaultScreen(ds.display);
    ds.depth = DefaultDepth(ds.display, ds.screen);
    ds.screen_height = DisplayHeight(ds.display, ds.screen);
    ds.screen_width = DisplayWidth(ds.display, ds.screen);
    ds.root = RootWindow(ds.display, ds.screen);
    // The root's property changes drive desktop and client-list tracking.
    XSelectInput(ds.display, ds.root, PropertyChangeMask);
    XSetErrorHandler(ignore_x_error);
    XInternAtoms(ds.display, const_cast<char**>(atom_names), ATOM_COUNT, False, ds.atoms.data());
    refresh_bar_monitor();
    return true;
}

void flush_and_wait()
{
    XSync(ds.display, False);
}
