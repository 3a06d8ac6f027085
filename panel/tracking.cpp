#include "tracking.hpp"

#include "clients.hpp"
#include "draw.hpp"
#include "net_icon.hpp"

#include <X11/Xatom.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Any client may write a list of any length, and every listed id costs
// round trips (made-up ids on the shown desktop even get records): only
// this many are looked at. The bar has far fewer usable button slots.
constexpr std::size_t MAX_LISTED_CLIENTS = 512;

// What a sync reads on the root, asked for together: one round trip.
struct RootReads {
    PropertyRequest workspace{ds.root, ds.atoms[WinWorkspace], XA_CARDINAL};
    PropertyRequest net_desktop{ds.root, ds.atoms[NetCurrentDesktop], XA_CARDINAL};
    PropertyRequest net_list{ds.root, ds.atoms[NetClientList], XA_WINDOW};
    PropertyRequest win_list{ds.root, ds.atoms[WinClientList], XA_CARDINAL};
    xcb_get_input_focus_cookie_t focus = xcb_get_input_focus(xcb_side());
};

Window focus_from(const RootReads& reads)
{
    xcb_generic_error_t* error = nullptr;
    xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(xcb_side(), reads.focus, &error);
    std::free(error);
    const Window focus = reply ? reply->focus : None;
    std::free(reply);
    return focus;
}

// The window manager's client list: the first of the two lists that
// returns data at all. One of another type or format reads as empty, and
// the second list is then not consulted.
std::optional<std::vector<long>> client_list_from(RootReads& reads)
{
    for (PropertyRequest* request : {&reads.net_list, &reads.win_list}) {
        const PropertyItems list(*request);
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

bool is_sync_atom(Atom atom)
{
    return atom == ds.atoms[NetClientList] || atom == ds.atoms[WinClientList] ||
           atom == ds.atoms[WinWorkspace] || atom == ds.atoms[NetCurrentDesktop];
}

}  // namespace

bool seen_by_sync(const Panel& panel, const XEvent& event)
{
    if (!panel.sync_first_read)
        return false;
    // An event carries the sequence number of the last request the server
    // had handled for this connection when it sent the event.
    const auto handled = static_cast<std::uint32_t>(event.xany.serial);
    if (static_cast<std::int32_t>(handled - *panel.sync_first_read) >= 0)
        return false;
    return event.type == FocusIn ||
           (event.type == PropertyNotify && event.xproperty.window == ds.root &&
            is_sync_atom(event.xproperty.atom));
}

void sync_client_list(Panel& panel)
{
    RootReads reads;
    bool desktop_changed = false;
    const int desktop =
        current_desktop_from(PropertyItems(reads.workspace), PropertyItems(reads.net_desktop));
    if (desktop != panel.desktop) {
        desktop_changed = true;
        panel.desktop = desktop;
    }
    const Window focus = focus_from(reads);
    // The notices the server sent before these reads are all queued once
    // their replies are in; the loop drops them.
    panel.sync_first_read = reads.workspace.sequence();
    panel.due.focus_known = false;

    const auto list = client_list_from(reads);
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
    std::vector<Window> new_windows;
    for (const long item : *list) {
        const Window window = xid_item(item);
        if (tracked.insert(window).second)
            new_windows.push_back(window);
    }
    // The focus as read after the new windows' focus events are selected: a
    // focus that moves to one of them meanwhile would otherwise go unseen,
    // and the button of the window that had it would stay pressed.
    const Window now_focused = track_windows(panel, new_windows.data(), new_windows.size(), focus);
    for (TrackedWindow* record = panel.first_client; record; record = record->next) {
        const bool active = record->window == now_focused;
        if (active == record->active)
            continue;
        record->active = active;
        // Painted with the list (never at once: its slot may be about to move).
        record->repaint_due = true;
        panel.due.buttons = true;
    }
}

void request_sync(Panel& panel)
{
    if (panel.due.gathering) {
        panel.due.sync = true;
        if (!panel.due.sync_asked)
            panel.due.sync_asked = std::chrono::steady_clock::now();
        request_list_repaint(panel);
        return;
    }
    sync_client_list(panel);
    redraw_panel(panel);
}

void on_focus_change(Panel& panel, const XFocusChangeEvent& event)
{
    // A grab only lends the keyboard: the focus stays where it was. The
    // focus leaves a client only with a FocusOut from it. A FocusIn of
    // another detail puts the focus in a child, or follows the pointer.
    const bool grab = event.mode == NotifyGrab || event.mode == NotifyUngrab;
    if (event.type == FocusIn) {
        on_focus_in(panel, event.window);
        panel.due.focus_known = !grab && (event.detail == NotifyAncestor ||
                                          event.detail == NotifyNonlinear ||
                                          event.detail == NotifyInferior);
    } else if (!grab) {
        panel.due.focus_known = false;
    }
}

void on_focus_in(Panel& panel, Window window)
{
    for (TrackedWindow* record = panel.first_client; record; record = record->next) {
        const bool focused = record->window == window;
        if (record->active != focused) {
            record->active = focused;
            request_button_repaint(panel, *record);
        }
    }
}

namespace {

// A change of the desktop count alone syncs nothing: the strip shows it at
// the next whole repaint, which reads it again (the tray follows it at once).
void on_root_property(Panel& panel, Atom atom)
{
    if (is_sync_atom(atom))
        request_sync(panel);
    else if (atom == ds.atoms[WinWorkspaceCount] || atom == ds.atoms[NetNumberOfDesktops])
        panel.desktop_count.reset();
    else if (atom == ds.atoms[NetActiveWindow])
        request_focus_check(panel);
}

// In a burst, title and state changes are read together at its end.
bool read_later(Panel& panel, TrackedWindow& record, Atom atom)
{
    if (!panel.due.gathering)
        return false;
    if (atom == ds.atoms[NetWmName])
        record.net_title_due = true;
    else if (atom == XA_WM_NAME)
        record.wm_title_due = true;
    else
        record.state_due = true;
    panel.due.reads = true;
    return true;
}

void show_minimized(Panel& panel, TrackedWindow& record, bool minimized)
{
    if (minimized == record.minimized)
        return;
    record.minimized = minimized;
    request_button_repaint(panel, record);
}

void on_client_property(Panel& panel, TrackedWindow& record, Atom atom)
{
    if (atom == ds.atoms[NetWmName]) {
        if (read_later(panel, record, atom))
            return;
        // Same rules as when the record was made: a deleted or unusable
        // _NET_WM_NAME hands the title back to WM_NAME.
        record.title = read_title(record.window, nullptr, &record.title_kind);
        request_button_repaint(panel, record);
    } else if (atom == XA_WM_NAME) {
        // A title from _NET_WM_NAME stands; one would have been announced.
        if (record.title_kind.from_net_wm_name || read_later(panel, record, atom))
            return;
        record.title = read_wm_name_title(record.window, &record.title_kind);
        request_button_repaint(panel, record);
    } else if (atom == ds.atoms[WmState]) {
        if (!read_later(panel, record, atom))
            show_minimized(panel, record, is_minimized(record.window));
    } else if (atom == XA_WM_HINTS) {
        // Only a fallback icon is replaced; an icon the client gave stays.
        if (record.icon != ds.fallback_icon)
            return;
        load_hints_icon(record);
        request_button_repaint(panel, record);
    } else if (atom == ds.atoms[NetWmIcon]) {
        if (record.icon != ds.fallback_icon || !load_net_wm_icon(record))
            return;
        request_button_repaint(panel, record);
    }
}

}  // namespace

// The focus may have gone where the bar hears no FocusIn (the root, a
// window without a button): the window manager says so in
// _NET_ACTIVE_WINDOW, and the focus is read again.
void request_focus_check(Panel& panel)
{
    panel.due.focus = true;
    if (!panel.due.gathering)
        check_focus(panel);
}

void check_focus(Panel& panel)
{
    if (!panel.due.focus)
        return;
    panel.due.focus = false;
    if (panel.due.focus_known)
        return;
    Window focus = None;
    int revert_to = 0;
    XGetInputFocus(ds.display, &focus, &revert_to);
    on_focus_in(panel, focus);
}

void read_due_properties(Panel& panel)
{
    if (!panel.due.reads)
        return;
    panel.due.reads = false;
    struct Reads {
        TrackedWindow* record;
        PropertyRequest net_wm_name;
        PropertyRequest wm_name;
        PropertyRequest wm_state;
    };
    std::vector<Reads> reads;
    for (TrackedWindow* record = panel.first_client; record; record = record->next) {
        // A later _NET_WM_NAME may have taken over from WM_NAME meanwhile.
        const bool whole = record->net_title_due;
        const bool wm_only = !whole && record->wm_title_due && !record->title_kind.from_net_wm_name;
        const bool state = record->state_due;
        record->net_title_due = record->wm_title_due = record->state_due = false;
        if (!whole && !wm_only && !state)
            continue;
        reads.push_back({record,
                         whole ? PropertyRequest(record->window, ds.atoms[NetWmName], AnyPropertyType)
                               : PropertyRequest(),
                         whole || wm_only ? PropertyRequest(record->window, XA_WM_NAME, AnyPropertyType)
                                          : PropertyRequest(),
                         state ? PropertyRequest(record->window, ds.atoms[WmState], ds.atoms[WmState])
                               : PropertyRequest()});
    }
    for (Reads& read : reads) {
        TrackedWindow& record = *read.record;
        if (read.wm_name.pending()) {
            record.title =
                title_from(read.net_wm_name.collect(), read.wm_name.collect(), &record.title_kind);
            request_button_repaint(panel, record);
        }
        if (read.wm_state.pending())
            show_minimized(panel, record, minimized_from(PropertyItems(read.wm_state)));
    }
}

void on_property_notify(Panel& panel, Window window, Atom atom)
{
    if (window == ds.root) {
        on_root_property(panel, atom);
        return;
    }
    if (TrackedWindow* record = find_tracked(panel, window))
        on_client_property(panel, *record, atom);
}
