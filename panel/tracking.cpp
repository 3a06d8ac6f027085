#include "tracking.hpp"

#include "clients.hpp"
#include "draw.hpp"
#include "net_icon.hpp"

#include <X11/Xatom.h>

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Any client may write a list of any length, and every listed id costs
// round trips (made-up ids on the shown desktop even get records): only
// this many are looked at. The bar has far fewer usable button slots.
constexpr std::size_t MAX_LISTED_CLIENTS = 512;

// The window manager's client list: the first of the two lists that
// returns data at all. One of another type or format reads as empty, and
// the second list is then not consulted.
std::optional<std::vector<long>> read_client_list()
{
    const std::pair<Atom, Atom> lists[] = {{ds.atoms[NetClientList], XA_WINDOW},
                                           {ds.atoms[WinClientList], XA_CARDINAL}};
    for (const auto& [property, type] : lists) {
        const PropertyItems list(ds.root, property, type);
        if (list.present())
            return std::vector<long>(list.begin(),
                                     list.begin() + std::min(list.size(), MAX_LISTED_CLIENTS));
    }
    return std::nullopt;
}

// The listed ids, for lookups in constant time: a change of the list then
// costs time linear in the number of windows, not in its square.
std::unordered_set<Window> listed_ids(const std::vector<long>& list)
{
    std::unordered_set<Window> ids;
    ids.reserve(list.size());
    for (const long item : list)
        ids.insert(xid_item(item));
    return ids;
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

    const auto list = read_client_list();
    if (!list)
        return;  // no list at all: only the desktop number follows the root

    const std::unordered_set<Window> listed = listed_ids(*list);
    std::unordered_set<Window> tracked;
    for (TrackedWindow* record = panel.first_client; record;) {
        TrackedWindow* next = record->next;  // untrack_window frees the record
        if (desktop_changed || !listed.contains(record->window))
            untrack_window(panel, record->window);
        else
            tracked.insert(record->window);
        record = next;
    }

    // In list order; an id listed twice gets one record at most.
    for (const long item : *list) {
        const Window window = xid_item(item);
        if (tracked.contains(window))
            continue;
        const int count_before = panel.client_count;
        track_window(panel, window, 0);
        if (panel.client_count != count_before)
            tracked.insert(window);
    }

    // Read after the new windows' focus events are selected: a focus that
    // moves to one of them meanwhile would otherwise go unseen, and the
    // button of the window that had it would stay pressed.
    Window focus = None;
    int revert_to = 0;
    XGetInputFocus(ds.display, &focus, &revert_to);
    for (TrackedWindow* record = panel.first_client; record; record = record->next)
        record->active = record->window == focus;
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
    if (atom == ds.atoms[NetWmName]) {
        // Same rules as when the record was made: a deleted or unusable
        // _NET_WM_NAME hands the title back to WM_NAME.
        record.title = read_title(record.window, nullptr, &record.title_kind);
        draw_client_button(panel, record);
    } else if (atom == XA_WM_NAME) {
        // A title from _NET_WM_NAME stands; one would have been announced.
        if (record.title_kind.from_net_wm_name)
            return;
        record.title = read_wm_name_title(record.window, &record.title_kind);
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
