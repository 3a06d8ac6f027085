// The pop-up window list: opens at the pointer, lists the client windows on
// every exposure, raises the one that is clicked, and exits.
#include "labels.hpp"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace {

struct SwitcherState {
    Display* display = nullptr;
    XFontStruct* font = nullptr;
    unsigned long black_pixel = 0;
    unsigned long white_pixel = 0;
    Window popup = None;
    GC gc = nullptr;
    Atom wm_state_atom = None;
    int line_height = LINE_HEIGHT;
    int entry_count = 0;
    unsigned max_label_length = MIN_LABEL_LENGTH;
    std::array<Window, ENTRY_SLOTS> entries{};
};

SwitcherState switcher;

// ---- X errors -------------------------------------------------------------

XErrorHandler default_error_handler = nullptr;
// Errors forgiven so far; a change while one window is read means it vanished.
unsigned long vanished_window_errors = 0;

// Other clients' windows come and go while the tree is walked and before the
// click is handled; only the requests made on them may fail for that reason.
bool is_vanished_window_error(const XErrorEvent& error)
{
    if (error.error_code != BadWindow || error.resourceid == switcher.popup)
        return false;
    switch (error.request_code) {
    case X_GetProperty:      // WM_STATE reads and the name fetch
    case X_QueryTree:        // the walk's descent
    case X_ConfigureWindow:  // the raise of the chosen window
    case X_MapWindow:        // and its map
        return true;
    default:
        return false;
    }
}

// Everything else is reported and ends the program, as without a handler.
int on_x_error(Display* display, XErrorEvent* error)
{
    if (is_vanished_window_error(*error)) {
        ++vanished_window_errors;
        return 0;
    }
    return default_error_handler(display, error);
}

// ---- Window facts ---------------------------------------------------------

// The first item of a property as delivered by Xlib, read in its own format
// so that a short or odd-format WM_STATE is never read past its data.
long first_item(int format, const unsigned char* data)
{
    switch (format) {
    case 32: return *reinterpret_cast<const long*>(data);
    case 16: return *reinterpret_cast<const short*>(data);
    case 8: return data[0];
    default: return 0;
    }
}

// The state word of the window's WM_STATE, or 0 when it has none.
int read_wm_state(Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(switcher.display, window, switcher.wm_state_atom,
                                          0, 2, False, AnyPropertyType,
                                          &type, &format, &count, &after, &data);
    long state = 0;
    if (status == Success && count > 0 && data)
        state = first_item(format, data);
    if (data)
        XFree(data);
    return static_cast<int>(state);
}

// Fills buffer with the window's terminated label.
void window_label(Window window, char* buffer, std::size_t size)
{
    char* name = nullptr;
    if (!XFetchName(switcher.display, window, &name) || !name) {
        format_label(std::nullopt, 0, buffer, size);
        return;
    }
    format_label(std::string_view(name), read_wm_state(window), buffer, size);
    XFree(name);
}

// ---- Listing --------------------------------------------------------------

// Records the client on the next line and draws its label there.
void add_entry(Window window)
{
    // Further clients are left out rather than written past the table.
    if (switcher.entry_count >= ENTRY_SLOTS - 1)
        return;
    char label[LABEL_SIZE];
    const unsigned long errors_before = vanished_window_errors;
    window_label(window, label, sizeof label);
    if (vanished_window_errors != errors_before)
        return;  // destroyed while its name was read: not a client any more
    const std::size_t length = std::strlen(label);
    if (is_popup_label(std::string_view(label, length)))
        return;
    switcher.entry_count += 1;
    switcher.entries[switcher.entry_count] = window;
    XDrawString(switcher.display, switcher.popup, switcher.gc, 1,
                switcher.entry_count * switcher.line_height, label, static_cast<int>(length));
    if (length > switcher.max_label_length)
        switcher.max_label_length = static_cast<unsigned>(length);
}

// Depth first: a window with a non-zero WM_STATE is a client and ends the descent.
void walk_windows(Window window)
{
    if (read_wm_state(window) != 0) {
        add_entry(window);
        return;
    }
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(switcher.display, window, &root, &parent, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i)
        walk_windows(children[i]);
    if (children)
        XFree(children);
}

// One listing pass: draws every client over what the pop-up shows, then fits it.
void rebuild_list()
{
    switcher.entry_count = 0;
    switcher.max_label_length = MIN_LABEL_LENGTH;
    walk_windows(DefaultRootWindow(switcher.display));
    const PopupSize size = popup_size(switcher.entry_count, switcher.max_label_length);
    XResizeWindow(switcher.display, switcher.popup, size.width, size.height);
}

// ---- Click ----------------------------------------------------------------

// The pointer's y inside the pop-up now, not where the press happened.
int pointer_y_in_popup()
{
    Window root = None;
    Window child = None;
    int root_x = 0, root_y = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(switcher.display, switcher.popup, &root, &child,
                  &root_x, &root_y, &x, &y, &mask);
    return y;
}

// Maps and raises the window on the clicked row; a row off the list raises nothing.
void raise_clicked()
{
    const int row = row_at(pointer_y_in_popup());
    std::fprintf(stderr, "raising %d", row);
    if (row_is_listed(row, switcher.entry_count))
        XMapRaised(switcher.display, switcher.entries[row]);
}

// ---- Start-up and loop ----------------------------------------------------

struct Point {
    int x;
    int y;
};

Point pointer_on_root(Window root)
{
    Window root_return = None;
    Window child = None;
    Point at{0, 0};
    int x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(switcher.display, root, &root_return, &child, &at.x, &at.y, &x, &y, &mask);
    return at;
}

void open_popup()
{
    Display* display = switcher.display;
    const Window root = DefaultRootWindow(display);
    const Point at = pointer_on_root(root);
    switcher.popup = XCreateSimpleWindow(display, root, at.x, at.y, 50, 20, 1,
                                         switcher.black_pixel, switcher.white_pixel);
    XGCValues values{};
    values.foreground = switcher.black_pixel;
    values.font = switcher.font->fid;
    switcher.gc = XCreateGC(display, switcher.popup, GCForeground | GCFont, &values);
    XStoreName(display, switcher.popup, POPUP_TITLE.data());
    XSelectInput(display, switcher.popup, ExposureMask | ButtonPressMask);
    XMapRaised(display, switcher.popup);
    // Moved again after the map, where a window manager may have placed it.
    XMoveWindow(display, switcher.popup, at.x, at.y);
}

// Lists on every exposure until the first button press has been handled.
void run_event_loop()
{
    for (;;) {
        XEvent event;
        XNextEvent(switcher.display, &event);
        if (event.type == ButtonPress) {
            raise_clicked();
            return;
        }
        if (event.type == Expose)
            rebuild_list();
    }
}

}  // namespace

int main()
{
    switcher.display = XOpenDisplay(nullptr);
    if (!switcher.display) {
        std::fputs("vok: cannot open display, make sure DISPLAY is set.\n", stdout);
        return 0;
    }
    default_error_handler = XSetErrorHandler(on_x_error);
    const int screen = DefaultScreen(switcher.display);
    switcher.black_pixel = BlackPixel(switcher.display, screen);
    switcher.white_pixel = WhitePixel(switcher.display, screen);
    switcher.font = XLoadQueryFont(switcher.display, "fixed");
    if (!switcher.font) {
        XCloseDisplay(switcher.display);
        return 0;
    }
    open_popup();
    switcher.wm_state_atom = XInternAtom(switcher.display, "WM_STATE", False);
    run_event_loop();
    XDestroyWindow(switcher.display, switcher.popup);
    XCloseDisplay(switcher.display);
    return 0;
}
