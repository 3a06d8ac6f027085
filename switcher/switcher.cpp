// The pop-up window list: opens at the pointer, lists the client windows on
// every exposure, raises the one that is clicked or chosen from the
// keyboard, and exits; a press elsewhere or Escape closes it.
#include "command_line.hpp"
#include "font_names.hpp"
#include "keys.hpp"
#include "labels.hpp"
#include "monitors.hpp"
#include "placement.hpp"
#include "utf8.hpp"
#include "window_name.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace {

// Atoms besides WM_STATE, interned together in this order.
enum AtomIndex {
    NetWmName,
    Utf8String,
    WinHints,
    NetWmState,
    NetWmStateSkipTaskbar,
    NetWmWindowType,
    NetWmWindowTypeDock,
    NetWmWindowTypeDesktop,
    ATOM_COUNT
};
const char* atom_names[ATOM_COUNT] = {
    "_NET_WM_NAME",  "UTF8_STRING",         "_WIN_HINTS",
    "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_DESKTOP",
};

// _WIN_HINTS bit asking to be left out of window lists.
constexpr long SKIP_WINDOW_LIST_BIT = 2;

// A listed window and the label its line shows.
struct Entry {
    Window window = None;
    Label label;
};

// The ISO 10646 cut of "fixed", for labels beyond Latin-1.
struct UnicodeFont {
    bool tried = false;
    Font font = None;
    unsigned default_char = 0;  // shown for characters past U+FFFF
};

// The pointer and keyboard grabs, asked for once the pop-up is first exposed.
struct Grabs {
    bool asked = false;
    bool pointer = false;
    bool keyboard = false;
    std::chrono::steady_clock::time_point give_up{};   // no more asking after this
    std::chrono::steady_clock::time_point next_try{};
};

struct SwitcherState {
    Display* display = nullptr;
    XFontStruct* font = nullptr;
    unsigned long black_pixel = 0;
    unsigned long white_pixel = 0;
    Window popup = None;
    GC gc = nullptr;
    Atom wm_state_atom = None;
    std::array<Atom, ATOM_COUNT> atoms{};
    UnicodeFont unicode;
    int line_height = LINE_HEIGHT;
    int entry_count = 0;
    unsigned max_label_length = MIN_LABEL_LENGTH;  // in characters
    std::array<Entry, ENTRY_SLOTS> entries{};
    int highlighted = 0;  // the row keys moved the highlight to; 0: none
    Grabs grabs;
    Point opened_at{0, 0};  // the pointer when the pop-up opened
    Rect monitor;           // the monitor under it, which the pop-up stays on
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

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

// A property read whole; its data is released with the holder.
struct Fetched {
    std::unique_ptr<unsigned char, XFreeDeleter> data;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
};

Fetched fetch_whole(Window window, Atom property, Atom required_type)
{
    Fetched fetched;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(switcher.display, window, property, 0, 0x7fffffff, False, required_type,
                       &fetched.type, &fetched.format, &fetched.count, &after, &data);
    fetched.data.reset(data);
    return fetched;
}

// A text property of any type, with the data it came with.
struct FetchedText {
    Fetched fetched;
    PropertyText value;
};

std::optional<FetchedText> read_text(Window window, Atom property)
{
    Fetched fetched = fetch_whole(window, property, AnyPropertyType);
    if (!fetched.data)
        return std::nullopt;
    const std::string_view bytes(reinterpret_cast<const char*>(fetched.data.get()),
                                 delivered_bytes(fetched.format, fetched.count));
    const PropertyText value{fetched.type, fetched.format, bytes};
    return FetchedText{std::move(fetched), value};
}

// The window's name by the panel's rules: its _NET_WM_NAME where that holds
// valid UTF-8, else its WM_NAME; nullopt when it has neither.
std::optional<WindowName> read_name(Window window)
{
    const Atom utf8_string = switcher.atoms[Utf8String];
    if (const auto net_wm_name = read_text(window, switcher.atoms[NetWmName]))
        if (auto name = name_from_net_wm_name(net_wm_name->value, utf8_string))
            return name;
    if (const auto wm_name = read_text(window, XA_WM_NAME))
        return name_from_wm_name(switcher.display, wm_name->value, utf8_string);
    return std::nullopt;
}

// The window's terminated label.
void window_label(Window window, Label& label)
{
    const auto name = read_name(window);
    if (!name) {
        label.utf8 = false;
        label.length = format_label(std::nullopt, 0, label.text, LABEL_SIZE);
        return;
    }
    label.utf8 = name->encoding == TextEncoding::Utf8;
    label.length = format_label(name->text, read_wm_state(window), label.text, LABEL_SIZE, label.utf8);
}

// The format-32 items of a property of the given type; empty when absent.
std::vector<long> read_items(Window window, Atom property, Atom type)
{
    const Fetched fetched = fetch_whole(window, property, type);
    if (!fetched.data || fetched.format != 32)
        return {};
    const long* items = reinterpret_cast<const long*>(fetched.data.get());
    return std::vector<long>(items, items + fetched.count);
}

bool holds_atom(const std::vector<long>& items, Atom atom)
{
    for (const long item : items)
        if (static_cast<Atom>(static_cast<std::uint32_t>(item)) == atom)
            return true;
    return false;
}

// Whether the window asks to stay out of window lists: the skip bit of its
// _WIN_HINTS where it has them, else a skip-taskbar state or a dock or
// desktop window type.
bool asks_to_be_left_out(Window window)
{
    const std::vector<long> hints = read_items(window, switcher.atoms[WinHints], XA_CARDINAL);
    if (!hints.empty())
        return (hints[0] & SKIP_WINDOW_LIST_BIT) != 0;
    if (holds_atom(read_items(window, switcher.atoms[NetWmState], XA_ATOM),
                   switcher.atoms[NetWmStateSkipTaskbar]))
        return true;
    const std::vector<long> types = read_items(window, switcher.atoms[NetWmWindowType], XA_ATOM);
    return holds_atom(types, switcher.atoms[NetWmWindowTypeDock]) ||
           holds_atom(types, switcher.atoms[NetWmWindowTypeDesktop]);
}

// ---- Drawing --------------------------------------------------------------

// The ISO 10646 cut of "fixed", named from the font's own FONT property and
// looked up once, when a label first needs it; None where there is none.
Font unicode_font()
{
    UnicodeFont& unicode = switcher.unicode;
    if (unicode.tried)
        return unicode.font;
    unicode.tried = true;
    unsigned long name_atom = 0;
    if (!XGetFontProperty(switcher.font, XA_FONT, &name_atom) || name_atom == 0)
        return None;
    char* font_name = XGetAtomName(switcher.display, static_cast<Atom>(name_atom));
    if (!font_name)
        return None;
    const auto name = unicode_cut_name(font_name);
    XFree(font_name);
    if (!name)
        return None;
    // The header alone: a load of a font that does not exist would be an
    // X error, which ends the switcher.
    int count = 0;
    XFontStruct* info = nullptr;
    char** names = XListFontsWithInfo(switcher.display, name->c_str(), 1, &count, &info);
    if (names && count > 0 && info) {
        unicode.default_char = info->default_char;
        unicode.font = XLoadFont(switcher.display, name->c_str());
    }
    if (names)
        XFreeFontInfo(names, info, count);
    return unicode.font;
}

// Draws a UTF-8 label in the Unicode cut, one glyph per character.
void draw_unicode(Font font, int x, int y, std::string_view text)
{
    XChar2b glyphs[LABEL_SIZE];
    int count = 0;
    for (std::size_t at = 0; at < text.size() && count < static_cast<int>(LABEL_SIZE);) {
        const Utf8Char c = decode_utf8(text, at);
        const unsigned glyph = c.code <= 0xFFFF ? c.code : switcher.unicode.default_char;
        glyphs[count++] = {static_cast<unsigned char>(glyph >> 8), static_cast<unsigned char>(glyph & 0xFF)};
        at += c.length;
    }
    XSetFont(switcher.display, switcher.gc, font);
    XDrawString16(switcher.display, switcher.popup, switcher.gc, x, y, glyphs, count);
    XSetFont(switcher.display, switcher.gc, switcher.font->fid);
}

// Wider than any pop-up: the server clips a band to the window.
constexpr unsigned ACROSS = 0xFFFF;

void set_ink(unsigned long pixel)
{
    XSetForeground(switcher.display, switcher.gc, pixel);
}

// Draws the label of line `row` from x = 1 on the baseline at 12 times the
// row. Latin-1 labels, and UTF-8 ones within Latin-1, in "fixed"; others in
// its Unicode cut, or with "?" for the rest without one.
void draw_label(int row)
{
    const Label& label = switcher.entries[row].label;
    const int x = 1;
    const int y = row * switcher.line_height;
    if (!label.utf8) {
        XDrawString(switcher.display, switcher.popup, switcher.gc, x, y, label.text,
                    static_cast<int>(label.length));
        return;
    }
    if (has_non_latin1(label.view())) {
        if (const Font font = unicode_font()) {
            draw_unicode(font, x, y, label.view());
            return;
        }
    }
    char latin1[LABEL_SIZE];
    const std::size_t count = latin1_from_utf8(label.view(), latin1, sizeof latin1);
    XDrawString(switcher.display, switcher.popup, switcher.gc, x, y, latin1, static_cast<int>(count));
}

// Draws line `row` of the list over what the pop-up shows there; the
// highlighted row inverted, white letters on a black band across the pop-up.
void draw_row(int row)
{
    if (row != switcher.highlighted) {
        draw_label(row);
        return;
    }
    XFillRectangle(switcher.display, switcher.popup, switcher.gc, 0, band_top(row), ACROSS,
                   switcher.line_height);
    set_ink(switcher.white_pixel);
    draw_label(row);
    set_ink(switcher.black_pixel);
}

// Moves the highlight to `row` (0: none), drawing the old row plain again.
void move_highlight(int row)
{
    const int old = switcher.highlighted;
    if (row == old)
        return;
    switcher.highlighted = row;
    if (row_is_listed(old, switcher.entry_count)) {
        XClearArea(switcher.display, switcher.popup, 0, band_top(old), 0, switcher.line_height, False);
        draw_row(old);
    }
    if (row_is_listed(row, switcher.entry_count))
        draw_row(row);
}

// ---- Listing --------------------------------------------------------------

// Records the client on the next line and draws its label there.
void add_entry(Window window)
{
    // Further clients are left out rather than written past the table.
    if (switcher.entry_count >= ENTRY_SLOTS - 1)
        return;
    Label label;
    const unsigned long errors_before = vanished_window_errors;
    const bool left_out = asks_to_be_left_out(window);
    if (!left_out)
        window_label(window, label);
    if (vanished_window_errors != errors_before)
        return;  // destroyed while it was read: not a client any more
    if (left_out || is_popup_label(label.view()))
        return;
    switcher.entry_count += 1;
    switcher.entries[switcher.entry_count] = {window, label};
    draw_row(switcher.entry_count);
    const std::size_t characters = label_characters(label);
    if (characters > switcher.max_label_length)
        switcher.max_label_length = static_cast<unsigned>(characters);
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
    const Point origin = popup_origin(switcher.opened_at, size.width + 2 * POPUP_BORDER,
                                      size.height + 2 * POPUP_BORDER, switcher.monitor);
    XMoveResizeWindow(switcher.display, switcher.popup, origin.x, origin.y, size.width, size.height);
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

// Says which row was chosen and maps and raises its window; a row off the
// list raises nothing.
void raise_row(int row)
{
    std::fprintf(stderr, "raising %d", row);
    if (row_is_listed(row, switcher.entry_count))
        XMapRaised(switcher.display, switcher.entries[row].window);
}

void raise_clicked()
{
    raise_row(row_at(pointer_y_in_popup()));
}

// Whether a press, judged by its own position, fell on the pop-up or its
// border; with the pointer grabbed, presses anywhere else come here too.
bool press_on_popup(const XButtonEvent& press)
{
    if (!press.same_screen)
        return false;
    Window root = None;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(switcher.display, switcher.popup, &root, &x, &y, &width, &height, &border, &depth))
        return false;
    return press_is_on_popup(press.x, press.y, width, height, border);
}

// ---- Keys -----------------------------------------------------------------

// Acts on a key: moves the highlight, chooses a row, or closes. Returns
// whether the program is to end.
bool on_key_press(XKeyEvent& key)
{
    char text[8];
    KeySym keysym = NoSymbol;
    XLookupString(&key, text, sizeof text, &keysym, nullptr);
    const KeyOutcome outcome =
        after_key(keysym, (key.state & ShiftMask) != 0, switcher.highlighted, switcher.entry_count);
    switch (outcome.action) {
    case KeyOutcome::Close:
        return true;
    case KeyOutcome::Choose:
        raise_row(outcome.row);
        return true;
    case KeyOutcome::Stay:
        move_highlight(outcome.row);
        return false;
    }
    return false;
}

// ---- Grabs ----------------------------------------------------------------

// How long grabs held by another client are asked for again: a hot-key
// program may still hold the keyboard while the key that started the
// switcher is down.
constexpr auto GRAB_PATIENCE = std::chrono::seconds(1);
constexpr auto GRAB_RETRY = std::chrono::milliseconds(20);

// Takes the grabs not held yet. With the pointer grabbed, a press anywhere
// comes to the pop-up, in its coordinates; with the keyboard, every key.
void take_grabs()
{
    Grabs& grabs = switcher.grabs;
    const auto now = std::chrono::steady_clock::now();
    if (!grabs.asked) {
        grabs.asked = true;
        grabs.give_up = now + GRAB_PATIENCE;
    }
    grabs.next_try = now + GRAB_RETRY;
    if (!grabs.pointer)
        grabs.pointer = XGrabPointer(switcher.display, switcher.popup, False, ButtonPressMask,
                                     GrabModeAsync, GrabModeAsync, None, None,
                                     CurrentTime) == GrabSuccess;
    if (!grabs.keyboard)
        grabs.keyboard = XGrabKeyboard(switcher.display, switcher.popup, False, GrabModeAsync,
                                       GrabModeAsync, CurrentTime) == GrabSuccess;
}

// Whether a grab is still missing and worth asking for again.
bool waiting_for_grabs()
{
    const Grabs& grabs = switcher.grabs;
    return grabs.asked && !(grabs.pointer && grabs.keyboard) &&
           std::chrono::steady_clock::now() < grabs.give_up;
}

// Whether an event is queued, or arrives before `deadline`.
bool event_before(std::chrono::steady_clock::time_point deadline)
{
    if (XPending(switcher.display))
        return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() > 0) {
        pollfd connection{ConnectionNumber(switcher.display), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(left.count()));
    }
    return XPending(switcher.display) > 0;
}

// ---- Start-up and loop ----------------------------------------------------

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
    switcher.opened_at = at;
    switcher.monitor = monitor_at(query_monitors(display, root), at.x, at.y,
                                  DisplayWidth(display, DefaultScreen(display)),
                                  DisplayHeight(display, DefaultScreen(display)));
    switcher.popup = XCreateSimpleWindow(display, root, at.x, at.y, 50, 20, POPUP_BORDER,
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

// Lists on every exposure; the first exposure, the pop-up being viewable
// at last, takes the grabs first.
void on_expose()
{
    if (!switcher.grabs.asked)
        take_grabs();
    rebuild_list();
    if (!row_is_listed(switcher.highlighted, switcher.entry_count))
        switcher.highlighted = 0;
}

// Handles one event; returns whether the program is to end.
bool handle_event(XEvent& event)
{
    switch (event.type) {
    case ButtonPress:
        // A press elsewhere closes the list, as Escape does.
        if (press_on_popup(event.xbutton))
            raise_clicked();
        return true;
    case KeyPress:
        return on_key_press(event.xkey);
    case Expose:
        on_expose();
        return false;
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        return false;
    default:
        return false;
    }
}

// Runs until a row is chosen or the list closed, asking again for missing
// grabs between events.
void run_event_loop()
{
    for (;;) {
        // Asked again on time even while events keep coming.
        if (waiting_for_grabs() && (std::chrono::steady_clock::now() >= switcher.grabs.next_try ||
                                    !event_before(switcher.grabs.next_try))) {
            take_grabs();
            continue;
        }
        XEvent event;
        XNextEvent(switcher.display, &event);
        if (handle_event(event))
            return;
    }
}

constexpr ProgramText PROGRAM = {
    "switcher",
    "Opens a list of the client windows at the pointer; the window picked by a\n"
    "click, or by the keys Down, Up, Tab and Return or a digit, is raised.\n"
    "Escape or a click elsewhere closes the list.\n"};

}  // namespace

int main(int argc, char** argv)
{
    if (const auto status = answer_command_line(argc, argv, PROGRAM))
        return *status;
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
    XInternAtoms(switcher.display, const_cast<char**>(atom_names), ATOM_COUNT, False,
                 switcher.atoms.data());
    run_event_loop();
    XDestroyWindow(switcher.display, switcher.popup);
    XCloseDisplay(switcher.display);
    return 0;
}
