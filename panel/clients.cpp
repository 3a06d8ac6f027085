#include "clients.hpp"

#include "geometry.hpp"
#include "look.hpp"
#include "net_icon.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

// WM_STATE's value for a minimised window.
constexpr long ICONIC_STATE = 3;
// _WIN_HINTS bit asking to be left out of task bars.
constexpr long SKIP_TASKBAR_BIT = 4;

// A title's rules applied to WM_NAME as read.
std::optional<std::string> wm_name_title_from(const PropertyData& wm_name, TitleKind* kind)
{
    if (kind)
        *kind = {};  // also for no title: a later WM_NAME must not be ignored
    if (!wm_name.data())
        return std::nullopt;
    WindowName name = name_from_wm_name(ds.display, wm_name.text(), ds.atoms[Utf8String]);
    if (kind)
        *kind = {name.encoding, false};
    return std::move(name.text);
}

std::optional<std::string> wm_name_title(Window window, TitleKind* kind)
{
    return wm_name_title_from(PropertyData::read(window, XA_WM_NAME, AnyPropertyType), kind);
}

void use_fallback_icon(TrackedWindow& record)
{
    record.icon = ds.fallback_icon;
    record.icon_mask = ds.fallback_mask;
    record.owns_icon = false;
}

}  // namespace

// ---- Properties -----------------------------------------------------------

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

bool minimized_from(const PropertyItems& state)
{
    return state.item(0) == ICONIC_STATE;
}

namespace {

int client_desktop_from(const PropertyItems& workspace, const PropertyItems& net_desktop,
                        int shown_desktop)
{
    if (workspace.has(0))
        return static_cast<int>(workspace[0]);
    if (!net_desktop.has(0))
        return 0;
    constexpr std::uint32_t ALL_DESKTOPS = 0xFFFFFFFF;
    const auto desktop = static_cast<std::uint32_t>(net_desktop[0]);
    return desktop == ALL_DESKTOPS ? shown_desktop : static_cast<int>(desktop);
}

bool skips_by_state(const PropertyItems& state)
{
    for (long atom : state)
        if (xid_item(atom) == ds.atoms[NetWmStateSkipTaskbar])
            return true;
    return false;
}

bool skips_by_type(const PropertyItems& types)
{
    for (long type : types) {
        const Atom atom = xid_item(type);
        if (atom == ds.atoms[NetWmWindowTypeDock] || atom == ds.atoms[NetWmWindowTypeDesktop])
            return true;
    }
    return false;
}

// _NET_WM_NAME's title, when it holds a usable one.
std::optional<std::string> net_wm_name_title(const PropertyData& net_wm_name, TitleKind* kind)
{
    if (!net_wm_name.data())
        return std::nullopt;
    auto name = name_from_net_wm_name(net_wm_name.text(), ds.atoms[Utf8String]);
    if (!name)
        return std::nullopt;
    if (kind)
        *kind = {name->encoding, true};
    return std::move(name->text);
}

}  // namespace

bool is_minimized(Window window)
{
    return minimized_from(PropertyItems(window, ds.atoms[WmState], ds.atoms[WmState]));
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

int current_desktop_from(const PropertyItems& workspace, const PropertyItems& net_desktop)
{
    if (workspace.has(0))
        return static_cast<int>(workspace[0]);
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
    return client_desktop_from(workspace, PropertyItems(window, ds.atoms[NetWmDesktop], XA_CARDINAL),
                               shown_desktop);
}

bool stays_off_bar(Window window)
{
    const PropertyItems hints(window, ds.atoms[WinHints], XA_CARDINAL);
    if (hints.has(0))
        return (hints[0] & SKIP_TASKBAR_BIT) != 0;
    return skips_by_state(PropertyItems(window, ds.atoms[NetWmState], XA_ATOM)) ||
           skips_by_type(PropertyItems(window, ds.atoms[NetWmWindowType], XA_ATOM));
}

std::optional<std::string> read_title(Window window, bool* out_of_memory, TitleKind* kind)
{
    if (out_of_memory)
        *out_of_memory = false;
    try {
        if (auto title = net_wm_name_title(
                PropertyData::read(window, ds.atoms[NetWmName], AnyPropertyType), kind))
            return title;
        return wm_name_title(window, kind);
    } catch (const std::bad_alloc&) {
        if (out_of_memory)
            *out_of_memory = true;
        return std::nullopt;
    }
}

std::optional<std::string> title_from(const PropertyData& net_wm_name, const PropertyData& wm_name,
                                      TitleKind* kind)
{
    try {
        if (auto title = net_wm_name_title(net_wm_name, kind))
            return title;
        return wm_name_title_from(wm_name, kind);
    } catch (const std::bad_alloc&) {
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

namespace {

// The pixmap and mask WM_HINTS names; none where its flags promise none or
// it is too short for the items they promise.
void take_hints_pixmaps(TrackedWindow& record, const PropertyItems& hints)
{
    record.icon = None;
    record.icon_mask = None;
    const long flags = hints.item(0).value_or(0);
    const bool with_mask = (flags & IconMaskHint) != 0;
    if ((flags & IconPixmapHint) && hints.has(with_mask ? 7 : 3)) {
        if (with_mask)
            record.icon_mask = xid_item(hints[7]);
        record.icon = xid_item(hints[3]);
    }
}

// After the hinted pixmap: the fallback where there was none, replaced by
// _NET_WM_ICON where the client offers that (clients of today often offer
// only that).
void finish_hints_icon(TrackedWindow& record, const PropertyItems& net_wm_icon)
{
    if (record.icon == None)
        use_fallback_icon(record);
    if (record.icon == ds.fallback_icon && !record.owns_icon)
        set_net_wm_icon(record, net_wm_icon);
}

std::optional<IconGeometry> icon_geometry(Pixmap icon)
{
    Window root = None;
    int x_origin = 0;
    int y_origin = 0;
    IconGeometry geometry;
    unsigned border = 0;
    if (!XGetGeometry(ds.display, icon, &root, &x_origin, &y_origin, &geometry.width,
                      &geometry.height, &border, &geometry.depth))
        return std::nullopt;
    return geometry;
}

}  // namespace

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
    take_hints_pixmaps(record, PropertyItems(record.window, XA_WM_HINTS, XA_WM_HINTS));
    if (record.icon != None)
        scale_icon(record);
    if (record.icon == None)
        use_fallback_icon(record);
    if (record.icon == ds.fallback_icon && !record.owns_icon)
        load_net_wm_icon(record);
}

void scale_icon(TrackedWindow& record)
{
    // A None or freed pixmap leaves nothing to copy.
    scale_icon(record, record.icon == None ? std::nullopt : icon_geometry(record.icon));
}

void scale_icon(TrackedWindow& record, std::optional<IconGeometry> geometry)
{
    if (record.icon == None || !geometry || geometry->width == 0 || geometry->height == 0) {
        use_fallback_icon(record);
        return;
    }
    const int w = static_cast<int>(geometry->width);
    const int h = static_cast<int>(geometry->height);

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
    const bool same_depth = static_cast<int>(geometry->depth) == ds.depth;
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

namespace {

// A listed window on its way to a record: the replies it waits for, in
// the order they are needed.
struct NewWindow {
    Window window = None;
    // Whether it belongs on the bar.
    PropertyRequest workspace, net_desktop, win_hints, net_state, types;
    // What its record is made of.
    PropertyRequest net_wm_name, wm_name, wm_state, kwm_icon, wm_hints, net_wm_icon;
    TrackedWindow* record = nullptr;
    bool hinted_pixmap = false;  // the record names WM_HINTS' pixmap, not a copy yet
    // The size of the pixmap its WM_HINTS name.
    xcb_get_geometry_cookie_t geometry{};
    bool geometry_pending = false;
    // What this connection selected on it before its facts were asked for
    // with where it lives (see track_new_windows).
    xcb_get_window_attributes_cookie_t selected_before{};
    bool asked_together = false;
};

void ask_where(NewWindow& w)
{
    w.workspace = PropertyRequest(w.window, ds.atoms[WinWorkspace], XA_CARDINAL);
    w.net_desktop = PropertyRequest(w.window, ds.atoms[NetWmDesktop], XA_CARDINAL);
    w.win_hints = PropertyRequest(w.window, ds.atoms[WinHints], XA_CARDINAL);
    w.net_state = PropertyRequest(w.window, ds.atoms[NetWmState], XA_ATOM);
    w.types = PropertyRequest(w.window, ds.atoms[NetWmWindowType], XA_ATOM);
}

// On the shown desktop and not asking to stay off the bar: the skip bit of
// _WIN_HINTS where it has them, else a skip-taskbar state or a dock or
// desktop window type.
bool belongs_on_bar(const Panel& panel, NewWindow& w)
{
    const PropertyItems workspace(w.workspace);
    const PropertyItems net_desktop(w.net_desktop);
    if (client_desktop_from(workspace, net_desktop, panel.desktop) != panel.desktop)
        return false;
    const PropertyItems hints(w.win_hints);
    if (hints.has(0))
        return (hints[0] & SKIP_TASKBAR_BIT) == 0;
    return !skips_by_state(PropertyItems(w.net_state)) && !skips_by_type(PropertyItems(w.types));
}

void ask_facts(NewWindow& w)
{
    // Selected before the first read: a change between a read and the
    // selection would otherwise never be heard of. Through XCB, so that the
    // requests of every window leave in one buffer (an error still reaches
    // Xlib's handler, as one of XSelectInput would).
    const std::uint32_t events = TRACKED_CLIENT_EVENTS;
    xcb_change_window_attributes(xcb_side(), static_cast<xcb_window_t>(w.window), XCB_CW_EVENT_MASK,
                                 &events);
    w.net_wm_name = PropertyRequest(w.window, ds.atoms[NetWmName], AnyPropertyType);
    w.wm_name = PropertyRequest(w.window, XA_WM_NAME, AnyPropertyType);
    w.wm_state = PropertyRequest(w.window, ds.atoms[WmState], ds.atoms[WmState]);
    w.kwm_icon = PropertyRequest(w.window, ds.atoms[KwmWinIcon], ds.atoms[KwmWinIcon]);
    w.wm_hints = PropertyRequest(w.window, XA_WM_HINTS, XA_WM_HINTS);
    w.net_wm_icon = PropertyRequest(w.window, ds.atoms[NetWmIcon], XA_CARDINAL);
}

// The record from the replies; none when memory runs out. A pixmap named
// in WM_HINTS is left for ask_icon_size and finish_icon.
TrackedWindow* make_record(NewWindow& w, bool active)
{
    TrackedWindow* record = new (std::nothrow) TrackedWindow{};
    if (!record)
        return nullptr;
    record->window = w.window;
    record->active = active;
    try {
        record->title = net_wm_name_title(w.net_wm_name.collect(), &record->title_kind);
        if (!record->title)
            record->title = wm_name_title_from(w.wm_name.collect(), &record->title_kind);
    } catch (const std::bad_alloc&) {
        delete record;
        return nullptr;
    }
    record->minimized = minimized_from(PropertyItems(w.wm_state));

    const PropertyItems kwm_icon(w.kwm_icon);
    if (kwm_icon.has(1)) {
        // Borrowed: the client keeps these and frees them itself.
        record->icon = xid_item(kwm_icon[0]);
        record->icon_mask = xid_item(kwm_icon[1]);
    }
    if (record->icon == None) {
        take_hints_pixmaps(*record, PropertyItems(w.wm_hints));
        w.hinted_pixmap = record->icon != None;
        if (!w.hinted_pixmap)
            finish_hints_icon(*record, PropertyItems(w.net_wm_icon));
    }
    return record;
}

// Borrowed KWM_WIN_ICON pixmaps are shown as they are; one from WM_HINTS
// is copied at its size.
void ask_icon_size(NewWindow& w)
{
    if (!w.record || !w.hinted_pixmap)
        return;
    w.geometry = xcb_get_geometry(xcb_side(), static_cast<xcb_drawable_t>(w.record->icon));
    w.geometry_pending = true;
}

void finish_icon(NewWindow& w)
{
    if (!w.geometry_pending)
        return;
    w.geometry_pending = false;
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(xcb_side(), w.geometry, &error);
    std::free(error);
    std::optional<IconGeometry> geometry;
    if (reply)
        geometry = IconGeometry{reply->width, reply->height, reply->depth};
    std::free(reply);
    scale_icon(*w.record, geometry);
    finish_hints_icon(*w.record, PropertyItems(w.net_wm_icon));
}

TrackedWindow** list_end(Panel& panel)
{
    TrackedWindow** link = &panel.first_client;
    while (*link)
        link = &(*link)->next;
    return link;
}

// A few new windows (one opening) have their facts asked for together with
// where they live, before it is known whether they belong on the bar: one
// round trip less. What the connection selected on them is read first, so
// that one left off the bar is given back its selection as it was.
constexpr std::size_t ASKED_TOGETHER = 4;

void ask_together(NewWindow& w)
{
    w.selected_before = xcb_get_window_attributes(xcb_side(), static_cast<xcb_window_t>(w.window));
    w.asked_together = true;
    ask_facts(w);
}

// Collects the selection read before; for a window left off the bar it is
// put back.
void settle_selection(NewWindow& w, bool kept)
{
    if (!w.asked_together)
        return;
    w.asked_together = false;
    if (kept) {
        xcb_discard_reply(xcb_side(), w.selected_before.sequence);
        return;
    }
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* reply =
        xcb_get_window_attributes_reply(xcb_side(), w.selected_before, &error);
    std::free(error);
    if (reply) {
        const std::uint32_t events = reply->your_event_mask;
        xcb_change_window_attributes(xcb_side(), static_cast<xcb_window_t>(w.window), XCB_CW_EVENT_MASK,
                                     &events);
    }
    std::free(reply);
}

// Every request of a step leaves before the first reply of that step is
// awaited: three round trips at most, however many windows, two for a few.
Window track_new_windows(Panel& panel, NewWindow* windows, std::size_t count, Window focus)
{
    const bool together = count <= ASKED_TOGETHER;
    for (std::size_t i = 0; i < count; ++i) {
        if (together)
            ask_together(windows[i]);
        ask_where(windows[i]);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        // Kept ones move to the front with the facts asked for them.
        const bool belongs = belongs_on_bar(panel, windows[i]);
        settle_selection(windows[i], belongs);
        if (belongs && kept != i)
            windows[kept] = std::move(windows[i]);
        kept += belongs;
    }
    for (std::size_t i = 0; i < kept && !together; ++i)
        ask_facts(windows[i]);
    std::optional<xcb_get_input_focus_cookie_t> focus_read;
    if (kept > 0)
        focus_read = xcb_get_input_focus(xcb_side());
    for (std::size_t i = 0; i < kept; ++i) {
        windows[i].record = make_record(windows[i], windows[i].window == focus);
        ask_icon_size(windows[i]);
    }
    TrackedWindow** end = list_end(panel);
    for (std::size_t i = 0; i < kept; ++i) {
        if (!windows[i].record)
            continue;
        finish_icon(windows[i]);
        *end = windows[i].record;
        end = &windows[i].record->next;
        ++panel.client_count;
    }
    if (!focus_read)
        return focus;
    xcb_generic_error_t* error = nullptr;
    xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(xcb_side(), *focus_read, &error);
    std::free(error);
    const Window now_focused = reply ? reply->focus : focus;
    std::free(reply);
    return now_focused;
}

}  // namespace

Window track_windows(Panel& panel, const Window* windows, std::size_t count, Window focus)
{
    std::unique_ptr<NewWindow[]> batch(new (std::nothrow) NewWindow[count]);
    if (!batch)
        return focus;
    std::size_t wanted = 0;
    for (std::size_t i = 0; i < count; ++i) {
        // Any client can list the bar and clear its skip hint; selecting a
        // client's events on it would replace the bar's own and deafen it.
        if (windows[i] != panel.window)
            batch[wanted++].window = windows[i];
    }
    return track_new_windows(panel, batch.get(), wanted, focus);
}

void track_window(Panel& panel, Window window, int active)
{
    if (window == panel.window)
        return;
    NewWindow one;
    one.window = window;
    track_new_windows(panel, &one, 1, (active & 1) ? window : None);
}

TrackedWindow* find_tracked(const Panel& panel, Window window)
{
    for (TrackedWindow* record = panel.first_client; record; record = record->next) {
        if (record->window == window)
            return record;
    }
    return nullptr;
}

bool untrack_window(Panel& panel, Window window)
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
        return true;
    }
    return false;
}
