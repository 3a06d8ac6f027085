#include "clients.hpp"

#include "geometry.hpp"
#include "look.hpp"
#include "net_icon.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

// WM_STATE's value for a minimised window.
constexpr long ICONIC_STATE = 3;
// _WIN_HINTS bit asking to be left out of task bars.
constexpr long SKIP_TASKBAR_BIT = 4;

// The one request for a whole property; `format` reports what the data
// holds, which only the typed reader needs.
unsigned char* get_whole_property(Window window, Atom property, Atom required_type,
                                  unsigned long* item_count, int* format, Atom* type = nullptr)
{
    Atom actual_type = None;
    int actual_format = 0;
    unsigned long items = 0;
    unsigned long bytes_after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(ds.display, window, property, 0, 0x7fffffff, False, required_type,
                       &actual_type, &actual_format, &items, &bytes_after, &data);
    if (item_count)
        *item_count = items;
    if (format)
        *format = actual_format;
    if (type)
        *type = actual_type;
    return data;
}

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};
using XData = std::unique_ptr<unsigned char, XFreeDeleter>;

// A text property fetched whole, whatever its type; its data is released
// with the holder.
struct FetchedText {
    XData data;
    PropertyText value;
};

std::optional<FetchedText> fetch_text(Window window, Atom property)
{
    Atom type = None;
    unsigned long items = 0;
    int format = 0;
    XData data(get_whole_property(window, property, AnyPropertyType, &items, &format, &type));
    if (!data)
        return std::nullopt;
    const std::string_view bytes(reinterpret_cast<const char*>(data.get()), delivered_bytes(format, items));
    return FetchedText{std::move(data), {type, format, bytes}};
}

std::optional<std::string> wm_name_title(Window window, TitleKind* kind)
{
    if (kind)
        *kind = {};  // also for no title: a later WM_NAME must not be ignored
    const auto wm_name = fetch_text(window, XA_WM_NAME);
    if (!wm_name)
        return std::nullopt;
    WindowName name = name_from_wm_name(ds.display, wm_name->value, ds.atoms[Utf8String]);
    if (kind)
        *kind = {name.encoding, false};
    return std::move(name.text);
}

void append_record(Panel& panel, TrackedWindow* record)
{
    TrackedWindow** link = &panel.first_client;
    while (*link)
        link = &(*link)->next;
    *link = record;
    ++panel.client_count;
}

void use_fallback_icon(TrackedWindow& record)
{
    record.icon = ds.fallback_icon;
    record.icon_mask = ds.fallback_mask;
    record.owns_icon = false;
}

}  // namespace

// ---- Properties -----------------------------------------------------------

unsigned char* fetch_property(Window window, Atom property, Atom required_type,
                              unsigned long* item_count)
{
    return get_whole_property(window, property, required_type, item_count, nullptr);
}

PropertyItems::PropertyItems(Window window, Atom property, Atom required_type)
{
    unsigned long count = 0;
    int format = 0;
    data_ = get_whole_property(window, property, required_type, &count, &format);
    // Xlib widens only format-32 data to one long per item; 8- and 16-bit
    // data indexed as long would run past the buffer.
    if (data_ && format == 32) {
        items_ = reinterpret_cast<const long*>(data_);
        count_ = count;
    }
}

PropertyItems::~PropertyItems()
{
    if (data_)
        XFree(data_);
}

std::optional<long> PropertyItems::item(std::size_t index) const
{
    if (!has(index))
        return std::nullopt;
    return items_[index];
}

XID xid_item(long item)
{
    return static_cast<XID>(static_cast<std::uint32_t>(item));
}

int window_desktop(Window window)
{
    const PropertyItems workspace(window, ds.atoms[WinWorkspace], XA_CARDINAL);
    return static_cast<int>(workspace.item(0).value_or(0));
}

bool has_skip_hint(Window window)
{
    const PropertyItems hints(window, ds.atoms[WinHints], XA_CARDINAL);
    return (hints.item(0).value_or(0) & SKIP_TASKBAR_BIT) != 0;
}

bool is_minimized(Window window)
{
    const PropertyItems state(window, ds.atoms[WmState], ds.atoms[WmState]);
    return state.item(0) == ICONIC_STATE;
}

// ---- Title ----------------------------------------------------------------

int current_desktop()
{
    const PropertyItems workspace(ds.root, ds.atoms[WinWorkspace], XA_CARDINAL);
    if (workspace.has(0))
        return static_cast<int>(workspace[0]);
    const PropertyItems net_desktop(ds.root, ds.atoms[NetCurrentDesktop], XA_CARDINAL);
    return net_desktop.has(0) ? static_cast<int>(net_desktop[0]) : 0;
}

std::optional<std::uint32_t> desktop_count()
{
    // Any 32-bit value a client writes; Xlib hands it over in a long.
    const PropertyItems count(ds.root, ds.atoms[WinWorkspaceCount], XA_CARDINAL);
    if (count.has(0))
        return static_cast<std::uint32_t>(count[0]);
    const PropertyItems net_count(ds.root, ds.atoms[NetNumberOfDesktops], XA_CARDINAL);
    if (net_count.has(0))
        return static_cast<std::uint32_t>(net_count[0]);
    return std::nullopt;
}

int client_desktop(Window window, int shown_desktop)
{
    const PropertyItems workspace(window, ds.atoms[WinWorkspace], XA_CARDINAL);
    if (workspace.has(0))
        return static_cast<int>(workspace[0]);
    const PropertyItems net_desktop(window, ds.atoms[NetWmDesktop], XA_CARDINAL);
    if (!net_desktop.has(0))
        return 0;
    constexpr std::uint32_t ALL_DESKTOPS = 0xFFFFFFFF;
    const auto desktop = static_cast<std::uint32_t>(net_desktop[0]);
    return desktop == ALL_DESKTOPS ? shown_desktop : static_cast<int>(desktop);
}

bool stays_off_bar(Window window)
{
    const PropertyItems hints(window, ds.atoms[WinHints], XA_CARDINAL);
    if (hints.has(0))
        return (hints[0] & SKIP_TASKBAR_BIT) != 0;
    const PropertyItems state(window, ds.atoms[NetWmState], XA_ATOM);
    for (long atom : state)
        if (xid_item(atom) == ds.atoms[NetWmStateSkipTaskbar])
            return true;
    const PropertyItems types(window, ds.atoms[NetWmWindowType], XA_ATOM);
    for (long type : types) {
        const Atom atom = xid_item(type);
        if (atom == ds.atoms[NetWmWindowTypeDock] || atom == ds.atoms[NetWmWindowTypeDesktop])
            return true;
    }
    return false;
}

std::optional<std::string> read_title(Window window, bool* out_of_memory, TitleKind* kind)
{
    if (out_of_memory)
        *out_of_memory = false;
    try {
        if (const auto net_wm_name = fetch_text(window, ds.atoms[NetWmName])) {
            if (auto name = name_from_net_wm_name(net_wm_name->value, ds.atoms[Utf8String])) {
                if (kind)
                    *kind = {name->encoding, true};
                return std::move(name->text);
            }
        }
        return wm_name_title(window, kind);
    } catch (const std::bad_alloc&) {
        if (out_of_memory)
            *out_of_memory = true;
        return std::nullopt;
    }
}

std::optional<std::string> read_wm_name_title(Window window, TitleKind* kind)
{
    try {
        return wm_name_title(window, kind);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// ---- Icons ----------------------------------------------------------------

void load_kwm_icon(TrackedWindow& record)
{
    const PropertyItems kwm_icon(record.window, ds.atoms[KwmWinIcon], ds.atoms[KwmWinIcon]);
    if (!kwm_icon.has(1))
        return;
    // Borrowed: the client keeps these and frees them itself.
    record.icon = xid_item(kwm_icon[0]);
    record.icon_mask = xid_item(kwm_icon[1]);
}

void load_hints_icon(TrackedWindow& record)
{
    record.icon = None;
    record.icon_mask = None;
    {
        const PropertyItems hints(record.window, XA_WM_HINTS, XA_WM_HINTS);
        const long flags = hints.item(0).value_or(0);
        const bool with_mask = (flags & IconMaskHint) != 0;
        // Hints too short for the items their flags promise count as none.
        if ((flags & IconPixmapHint) && hints.has(with_mask ? 7 : 3)) {
            if (with_mask)
                record.icon_mask = xid_item(hints[7]);
            record.icon = xid_item(hints[3]);
            scale_icon(record);
        }
    }
    if (record.icon == None)
        use_fallback_icon(record);
    // Clients of today often offer only _NET_WM_ICON.
    if (record.icon == ds.fallback_icon && !record.owns_icon)
        load_net_wm_icon(record);
}

void scale_icon(TrackedWindow& record)
{
    Window root = None;
    int x_origin = 0;
    int y_origin = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    // The only round trip; a None or freed pixmap leaves nothing to copy.
    if (record.icon == None ||
        !XGetGeometry(ds.display, record.icon, &root, &x_origin, &y_origin, &width, &height,
                      &border, &depth) ||
        width == 0 || height == 0) {
        use_fallback_icon(record);
        return;
    }
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);

    // On the root rather than the client's window: a window that has just
    // vanished must not leave the record with ids the server never made.
    const Pixmap new_icon = XCreatePixmap(ds.display, ds.root, ICON_SIZE, ICON_SIZE, ds.depth);
    Pixmap new_mask = None;
    GC mask_gc = nullptr;
    if (record.icon_mask != None) {
        new_mask = XCreatePixmap(ds.display, ds.root, ICON_SIZE, ICON_SIZE, 1);
        XGCValues values{};
        values.subwindow_mode = IncludeInferiors;
        values.graphics_exposures = False;
        mask_gc = XCreateGC(ds.display, new_mask, GCSubwindowMode | GCGraphicsExposures, &values);
    }

    // Set bits of a picture of another depth come out in this colour.
    set_ink(Highlight);
    const bool same_depth = static_cast<int>(depth) == ds.depth;
    for (int y = ICON_SIZE - 1; y >= 0; --y) {
        const int sy = icon_source_index(y, h, ICON_SIZE);
        for (int x = ICON_SIZE - 1; x >= 0; --x) {
            const int sx = icon_source_index(x, w, ICON_SIZE);
            if (same_depth)
                XCopyArea(ds.display, record.icon, new_icon, ds.gc, sx, sy, 1, 1, x, y);
            else
                XCopyPlane(ds.display, record.icon, new_icon, ds.gc, sx, sy, 1, 1, x, y, 1);
            if (new_mask != None)
                XCopyArea(ds.display, record.icon_mask, new_mask, mask_gc, sx, sy, 1, 1, x, y);
        }
    }

    if (new_mask != None) {
        XFreeGC(ds.display, mask_gc);
        record.icon_mask = new_mask;
    }
    record.icon = new_icon;
    record.owns_icon = true;
}

// ---- Records --------------------------------------------------------------

void track_window(Panel& panel, Window window, int active)
{
    // Any client can list the bar and clear its skip hint; selecting a
    // client's events on it would replace the bar's own and deafen it.
    if (window == panel.window)
        return;
    if (client_desktop(window, panel.desktop) != panel.desktop)
        return;
    if (stays_off_bar(window))
        return;

    TrackedWindow* record = new (std::nothrow) TrackedWindow{};
    if (!record)
        return;
    record->window = window;
    record->active = (active & 1) != 0;

    bool out_of_memory = false;
    record->title = read_title(window, &out_of_memory, &record->title_kind);
    if (out_of_memory) {
        delete record;
        return;
    }
    record->minimized = is_minimized(window);

    load_kwm_icon(*record);
    if (record->icon == None)
        load_hints_icon(*record);

    XSelectInput(ds.display, window, TRACKED_CLIENT_EVENTS);
    append_record(panel, record);
}

TrackedWindow* find_tracked(const Panel& panel, Window window)
{
    for (TrackedWindow* record = panel.first_client; record; record = record->next) {
        if (record->window == window)
            return record;
    }
    return nullptr;
}

void untrack_window(Panel& panel, Window window)
{
    for (TrackedWindow** link = &panel.first_client; *link; link = &(*link)->next) {
        TrackedWindow* record = *link;
        if (record->window != window)
            continue;
        --panel.client_count;
        // Only the copies scale_icon made are ours; KWM_WIN_ICON pixmaps
        // and the fallback are borrowed.
        if (record->owns_icon) {
            XFreePixmap(ds.display, record->icon);
            if (record->icon_mask != None)
                XFreePixmap(ds.display, record->icon_mask);
        }
        *link = record->next;
        delete record;
        return;
    }
}
