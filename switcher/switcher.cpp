// The pop-up window list: opens at the pointer, lists the client windows on
// every exposure, raises the one that is clicked, and exits.
#include "font_names.hpp"
#include "labels.hpp"
#include "utf8.hpp"
#include "window_name.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <array>
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

// Draws line `row` of the list: its label from x = 1 on the baseline at
// 12 times the row. Latin-1 labels, and UTF-8 ones within Latin-1, in
// "fixed"; others in its Unicode cut, or with "?" for the rest without one.
void draw_row(int row)
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
        XMapRaised(switcher.display, switcher.entries[row].window);
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
    XInternAtoms(switcher.display, const_cast<char**>(atom_names), ATOM_COUNT, False,
                 switcher.atoms.data());
    run_event_loop();
    XDestroyWindow(switcher.display, switcher.popup);
    XCloseDisplay(switcher.display);
    return 0;
}
