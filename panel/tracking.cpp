#include "tracking.hpp"

#include "clients.hpp"
#include "draw.hpp"
#include "net_icon.hpp"

#include <X11/Xatom.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// One whole format-32 property in one request. nullopt when no data came
// back (no such property, or the window is gone); an empty list when it
// exists with another type, or with items that are not 32-bit ones.
std::optional<std::vector<long>> read_format32(Window window, Atom property, Atom required_type)
{
    Atom actual_type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long bytes_after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(ds.display, window, property, 0, 0x7fffffff, False, required_type,
                       &actual_type, &format, &count, &bytes_after, &data);
    if (!data)
        return std::nullopt;
    std::vector<long> items;
    // Xlib hands format-32 items over as longs; 8- or 16-bit data of the
    // right type would be read past its end if indexed that way.
    if (format == 32) {
        const long* first = reinterpret_cast<const long*>(data);
        items.assign(first, first + count);
    }
    XFree(data);
    return items;
}

// Any client may write a list of any length, and every listed id costs
// round trips (made-up ids on the shown desktop even get records): only
// this many are looked at. The bar has far fewer usable button slots.
constexpr std::size_t MAX_LISTED_CLIENTS = 512;

// The window manager's client list, the first list that returns data.
std::optional<std::vector<long>> read_client_list()
{
    auto list = read_format32(ds.root, ds.atoms[NetClientList], XA_WINDOW);
    if (!list)
        list = read_format32(ds.root, ds.atoms[WinClientList], XA_CARDINAL);
    if (list && list->size() > MAX_LISTED_CLIENTS)
        list->resize(MAX_LISTED_CLIENTS);
    return list;
}

bool listed(const std::vector<long>& list, Window window)
{
    // From the end: the newest windows sit at the end of the manager's list.
    return std::any_of(list.rbegin(), list.rend(),
                       [window](long item) { return xid_item(item) == window; });
}

}  // namespace

void sync_client_list(Panel& panel)
{
    bool desktop_changed = false;
    const int desktop = current_desktop();
    if (desktop != panel.desktop) {
        desktop_changed = true;
        panel.desktop = desktop;
    }

    Window focus = None;
    int revert_to = 0;
    XGetInputFocus(ds.display, &focus, &revert_to);

    const auto list = read_client_list();
    if (!list)
        return;  // no list at all: only the desktop number follows the root

    for (TrackedWindow* record = panel.first_client; record;) {
        TrackedWindow* next = record->next;  // untrack_window frees the record
        record->active = record->window == focus;
        if (desktop_changed || !listed(*list, record->window))
            untrack_window(panel, record->window);
        record = next;
    }

    for (const long item : *list) {
        const Window window = xid_item(item);
        if (!find_tracked(panel, window))
            track_window(panel, window, window == focus ? 1 : 0);
    }
}

void on_focus_in(Panel& panel, Window window)
{
    for (TrackedWindow* record = panel.first_client; record; record = record->next) {
        const bool focused = record->window == window;
        if (record->active != focused) {
            record->active = focused;
            draw_client_button(panel, *record);
        }
    }
}

namespace {

void on_root_property(Panel& panel, Atom atom)
{
    if (atom == ds.atoms[NetClientList] || atom == ds.atoms[WinClientList] ||
        atom == ds.atoms[WinWorkspace] || atom == ds.atoms[NetCurrentDesktop]) {
        sync_client_list(panel);
        redraw_panel(panel);
    }
}

void on_client_property(const Panel& panel, TrackedWindow& record, Atom atom)
{
    if (atom == XA_WM_NAME) {
        // Same rules as when the record was made, so a title in another
        // encoding is converted rather than blanked.
        record.title = read_title(record.window);
        draw_client_button(panel, record);
    } else if (atom == ds.atoms[WmState]) {
        const bool minimized = is_minimized(record.window);
        if (minimized == record.minimized)
            return;
        record.minimized = minimized;
        draw_client_button(panel, record);
    } else if (atom == XA_WM_HINTS) {
        // Only a fallback icon is replaced; an icon the client gave stays.
        if (record.icon != ds.fallback_icon)
            return;
        load_hints_icon(record);
        draw_client_button(panel, record);
    } else if (atom == ds.atoms[NetWmIcon]) {
        if (record.icon != ds.fallback_icon || !load_net_wm_icon(record))
            return;
        draw_client_button(panel, record);
    }
}

}  // namespace

void on_property_notify(Panel& panel, Window window, Atom atom)
{
    if (window == ds.root) {
        on_root_property(panel, atom);
        return;
    }
    if (TrackedWindow* record = find_tracked(panel, window))
        on_client_property(panel, *record, atom);
}
