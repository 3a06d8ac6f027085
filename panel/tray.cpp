// The system tray: the selection, docking, XEmbed messages and icon slots.
#include "tray.hpp"

#include "clients.hpp"
#include "draw.hpp"
#include "geometry.hpp"
#include "look.hpp"

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace {

enum TrayAtom {
    TraySelection,  // _NET_SYSTEM_TRAY_S<screen>
    TrayOpcode,
    TrayOrientation,
    TrayVisual,
    Manager,
    Xembed,
    XembedInfo,
    TRAY_ATOM_COUNT
};

constexpr long REQUEST_DOCK = 0;            // _NET_SYSTEM_TRAY_OPCODE l[1]
constexpr long XEMBED_EMBEDDED_NOTIFY = 0;  // _XEMBED l[1]
constexpr long XEMBED_VERSION = 0;          // the protocol version the bar speaks
constexpr long XEMBED_MAPPED = 1;           // flag bit of _XEMBED_INFO item 1
constexpr long ORIENTATION_HORIZONTAL = 0;
// Far more than ever fit; bounds the work any client can make the tray do.
constexpr std::size_t MAX_DOCKED_ICONS = 128;
// Owners that change while the bar looks are looked at again this often,
// and then left: a client that keeps changing them cannot make the bar spin.
constexpr int CLAIM_ATTEMPTS = 4;

// The events the tray needs from an icon: its map state, size, parent,
// destruction and _XEMBED_INFO.
constexpr long ICON_EVENTS = StructureNotifyMask | PropertyChangeMask;

struct DockedIcon {
    Window window = None;
    bool wants_shown = true;  // its _XEMBED_INFO, or the client's own map or unmap
    bool mapped = false;      // what the server has, by our requests or the client's
    int slot = -1;            // -1: no slot (hidden by its client, or no room)
    int left = INT_MIN;       // the x last given to it
    // Map and unmap notices our own requests will bring; any other comes
    // from the client.
    int maps_expected = 0;
    int unmaps_expected = 0;
};

struct Tray {
    std::array<Atom, TRAY_ATOM_COUNT> atoms{};
    // Ours while we hold the selection (or try to take it). Icons watch it:
    // its end tells them to look for the next tray.
    Window selection_window = None;
    bool owning = false;
    // The server can leave icons unmapped at the root when the bar dies.
    bool unmapping_save_set = false;
    Window watched_owner = None;  // another tray's selection window
    // In the order they asked to be shown: the first ones get the slots.
    std::vector<DockedIcon> icons;
};

Tray tray;

DockedIcon* find_icon(Window window)
{
    for (DockedIcon& icon : tray.icons)
        if (icon.window == window)
            return &icon;
    return nullptr;
}

// XSelectInput replaces this connection's mask: a window that is also a
// tracked client keeps what client tracking selected there.
void select_events(const Panel& panel, Window window, long mask)
{
    if (find_tracked(panel, window))
        mask |= TRACKED_CLIENT_EVENTS;
    XSelectInput(ds.display, window, mask);
}

Window parent_of(Window window)
{
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(ds.display, window, &root, &parent, &children, &count))
        return None;
    if (children)
        XFree(children);
    return parent;
}

// XEMBED_MAPPED of the icon's _XEMBED_INFO. An icon without it, or with one
// of the wrong type or too short to hold the flags, is shown.
bool wants_to_be_shown(Window window)
{
    const PropertyItems info(window, tray.atoms[XembedInfo], tray.atoms[XembedInfo]);
    return info.has(1) ? (info[1] & XEMBED_MAPPED) != 0 : true;
}

// ---- Slots ----------------------------------------------------------------

void map_icon(DockedIcon& icon)
{
    XMapWindow(ds.display, icon.window);
    icon.mapped = true;
    ++icon.maps_expected;
}

void unmap_icon(DockedIcon& icon)
{
    XUnmapWindow(ds.display, icon.window);
    icon.mapped = false;
    ++icon.unmaps_expected;
}

// Room for icons: the desktop strip as it will be painted next.
int current_capacity()
{
    const int desktops = desktop_buttons_shown(desktop_count().value_or(0), ds.monitor.width);
    return tray_capacity(ds.monitor.width, desktops * DESK_BUTTON_WIDTH);
}

// Gives slots to the icons that want to be shown, in order, as far as there
// is room, and puts every icon where its slot says. Returns whether the
// number shown changed. Paints nothing.
bool assign_slots(Panel& panel)
{
    const int capacity = tray.icons.empty() ? 0 : current_capacity();
    int shown = 0;
    for (DockedIcon& icon : tray.icons)
        icon.slot = icon.wants_shown && shown < capacity ? shown++ : -1;
    place_tray_icons(panel);
    if (shown == panel.tray_icons)
        return false;
    panel.tray_icons = shown;
    return true;
}

void relayout_tray(Panel& panel)
{
    if (assign_slots(panel))
        repaint_tray(panel);
}

// An icon asks for a slot again: it becomes the newest, left of the others,
// so that no shown icon moves.
void show_again(DockedIcon& icon)
{
    icon.wants_shown = true;
    const auto at = std::find_if(tray.icons.begin(), tray.icons.end(),
                                 [&](const DockedIcon& i) { return i.window == icon.window; });
    std::rotate(at, at + 1, tray.icons.end());
}

// Lets go of an icon that is still in the bar: unmapped (so no window
// manager frames it on the way), back to the root, out of the save-set.
void give_back(const Panel& panel, const DockedIcon& icon)
{
    select_events(panel, icon.window, NoEventMask);
    if (parent_of(icon.window) != panel.window)
        return;  // another embedder has it already
    if (icon.mapped)
        XUnmapWindow(ds.display, icon.window);
    XReparentWindow(ds.display, icon.window, ds.root, 0, 0);
    XRemoveFromSaveSet(ds.display, icon.window);
}

void forget_icon(Window window)
{
    std::erase_if(tray.icons, [&](const DockedIcon& icon) { return icon.window == window; });
}

// ---- The selection --------------------------------------------------------

Window create_selection_window()
{
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.event_mask = PropertyChangeMask | StructureNotifyMask;
    const Window window =
        XCreateWindow(ds.display, ds.root, -1, -1, 1, 1, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
    // Icons draw in the default visual, over the bar's own background.
    long visual = static_cast<long>(XVisualIDFromVisual(DefaultVisual(ds.display, ds.screen)));
    XChangeProperty(ds.display, window, tray.atoms[TrayVisual], XA_VISUALID, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&visual), 1);
    return window;
}

// A server time stamp, as the selection needs: the time of a property
// change on our own window (which also states the tray's orientation).
// After the round trip its notice is queued, unless the window has gone:
// then there is none, and no waiting for it.
std::optional<Time> fresh_timestamp()
{
    set_cardinal_property(tray.selection_window, tray.atoms[TrayOrientation],
                          ORIENTATION_HORIZONTAL);
    XSync(ds.display, False);
    XEvent event;
    if (!XCheckWindowEvent(ds.display, tray.selection_window, PropertyChangeMask, &event))
        return std::nullopt;
    return event.xproperty.time;
}

// The MANAGER message: `owner` holds the tray selection since `time`.
void announce(Time time, Window owner)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = ds.root;
    event.xclient.message_type = tray.atoms[Manager];
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(time);
    event.xclient.data.l[1] = static_cast<long>(tray.atoms[TraySelection]);
    event.xclient.data.l[2] = static_cast<long>(owner);
    XSendEvent(ds.display, ds.root, False, StructureNotifyMask, &event);
    XFlush(ds.display);
}

bool take_selection()
{
    if (tray.selection_window == None)
        tray.selection_window = create_selection_window();
    const std::optional<Time> time = fresh_timestamp();
    if (time)
        XSetSelectionOwner(ds.display, tray.atoms[TraySelection], tray.selection_window, *time);
    if (!time ||
        XGetSelectionOwner(ds.display, tray.atoms[TraySelection]) != tray.selection_window) {
        XDestroyWindow(ds.display, tray.selection_window);
        tray.selection_window = None;
        return false;
    }
    tray.owning = true;
    tray.watched_owner = None;
    announce(*time, tray.selection_window);
    return true;
}

// Takes the selection when it is free; otherwise watches its holder's
// window, whose DestroyNotify brings the bar back here.
void claim_tray(const Panel& panel)
{
    for (int attempt = 0; attempt < CLAIM_ATTEMPTS; ++attempt) {
        const Window owner = XGetSelectionOwner(ds.display, tray.atoms[TraySelection]);
        if (owner == None) {
            if (take_selection())
                return;
            continue;
        }
        select_events(panel, owner, StructureNotifyMask);
        // Gone before the selection took effect, the window brings no
        // DestroyNotify: ask again.
        if (XGetSelectionOwner(ds.display, tray.atoms[TraySelection]) == owner) {
            tray.watched_owner = owner;
            return;
        }
    }
}

// The selection is gone: the tray's window goes first (icons wait for its
// end before they look for the next tray), then every icon the next tray
// has not taken yet goes back to the root, and the tray closes.
void let_icons_go(Panel& panel)
{
    tray.owning = false;
    if (tray.selection_window != None)
        XDestroyWindow(ds.display, tray.selection_window);
    tray.selection_window = None;
    // No icon may change hands between the look at its parent and the move.
    XGrabServer(ds.display);
    for (const DockedIcon& icon : tray.icons)
        give_back(panel, icon);
    XUngrabServer(ds.display);
    XFlush(ds.display);
    tray.icons.clear();
    relayout_tray(panel);
}

// ---- Docking --------------------------------------------------------------

void send_embedded_notify(const Panel& panel, Window icon, long time)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = icon;
    event.xclient.message_type = tray.atoms[Xembed];
    event.xclient.format = 32;
    event.xclient.data.l[0] = time;
    event.xclient.data.l[1] = XEMBED_EMBEDDED_NOTIFY;
    event.xclient.data.l[3] = static_cast<long>(panel.window);
    event.xclient.data.l[4] = XEMBED_VERSION;
    XSendEvent(ds.display, icon, False, NoEventMask, &event);
}

bool may_dock(const Panel& panel, Window window)
{
    return window != None && window != ds.root && window != panel.window &&
           window != tray.selection_window && !find_icon(window) &&
           tray.icons.size() < MAX_DOCKED_ICONS;
}

void dock_icon(Panel& panel, Window window, long time)
{
    if (!may_dock(panel, window))
        return;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(ds.display, window, &attributes))
        return;  // no such window

    // Selected before the first read, so no change of _XEMBED_INFO is missed.
    select_events(panel, window, ICON_EVENTS);
    DockedIcon icon;
    icon.window = window;
    icon.wants_shown = wants_to_be_shown(window);
    // A mapped window is unmapped and mapped again by the move.
    if (attributes.map_state != IsUnmapped) {
        icon.mapped = true;
        icon.maps_expected = icon.unmaps_expected = 1;
    }
    icon.left = tray_icon_left(ds.monitor.width, 0);
    XReparentWindow(ds.display, window, panel.window, icon.left, TRAY_ICON_TOP);
    // Gone meanwhile, or unable to live in the bar (an ancestor of it, a
    // parent-relative background of another depth): the server refused,
    // and nothing else may be done to the window.
    if (parent_of(window) != panel.window) {
        select_events(panel, window, NoEventMask);
        return;
    }
    // Should the bar die, the icon survives it, at the root. Unmapped there,
    // no window manager frames it before the next tray takes it.
    if (tray.unmapping_save_set)
        XFixesChangeSaveSet(ds.display, window, SetModeInsert, SaveSetRoot, SaveSetUnmap);
    else
        XAddToSaveSet(ds.display, window);
    XWindowChanges size{};
    size.width = size.height = ICON_SIZE;
    XConfigureWindow(ds.display, window, CWWidth | CWHeight | CWBorderWidth, &size);
    tray.icons.push_back(icon);
    send_embedded_notify(panel, window, time);
    relayout_tray(panel);
}

}  // namespace

// ---- Handlers -------------------------------------------------------------

void init_tray(Panel& panel)
{
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(ds.screen);
    const char* names[TRAY_ATOM_COUNT] = {
        selection.c_str(), "_NET_SYSTEM_TRAY_OPCODE", "_NET_SYSTEM_TRAY_ORIENTATION",
        "_NET_SYSTEM_TRAY_VISUAL", "MANAGER", "_XEMBED", "_XEMBED_INFO",
    };
    XInternAtoms(ds.display, const_cast<char**>(names), TRAY_ATOM_COUNT, False,
                 tray.atoms.data());
    int event_base = 0;
    int error_base = 0;
    tray.unmapping_save_set = XFixesQueryExtension(ds.display, &event_base, &error_base);
    claim_tray(panel);
}

void on_tray_message(Panel& panel, const XClientMessageEvent& message)
{
    if (!tray.owning || message.message_type != tray.atoms[TrayOpcode] || message.format != 32)
        return;
    // The icon comes from the data: some clients name it as the event's
    // window, most name the tray's.
    if (message.data.l[1] == REQUEST_DOCK)
        dock_icon(panel, xid_item(message.data.l[2]), message.data.l[0]);
}

void on_tray_selection_clear(Panel& panel, const XSelectionClearEvent& event)
{
    if (!tray.owning || event.window != tray.selection_window ||
        event.selection != tray.atoms[TraySelection])
        return;
    let_icons_go(panel);
    // Icons bound to our window heed an announcement only once they have
    // seen that window go (GTK's do), and the new tray's came before: it
    // is repeated for them.
    const Window owner = XGetSelectionOwner(ds.display, tray.atoms[TraySelection]);
    if (owner != None)
        announce(event.time, owner);
    claim_tray(panel);
}

void on_tray_property(Panel& panel, Window window, Atom atom)
{
    if (window == ds.root) {
        if (!tray.icons.empty() &&
            (atom == ds.atoms[WinWorkspaceCount] || atom == ds.atoms[NetNumberOfDesktops]))
            relayout_tray(panel);
        return;
    }
    DockedIcon* icon = atom == tray.atoms[XembedInfo] ? find_icon(window) : nullptr;
    if (!icon)
        return;
    const bool wants = wants_to_be_shown(window);
    if (wants == icon->wants_shown)
        return;
    if (wants)
        show_again(*icon);
    else
        icon->wants_shown = false;
    relayout_tray(panel);
}

void on_tray_map(Panel& panel, Window window)
{
    DockedIcon* icon = find_icon(window);
    if (!icon)
        return;
    if (icon->maps_expected > 0) {
        --icon->maps_expected;
        return;
    }
    // Mapped by its client: it asks for a slot again. Without one (or on a
    // collapsed bar) the relayout unmaps it.
    icon->mapped = true;
    if (!icon->wants_shown)
        show_again(*icon);
    relayout_tray(panel);
}

void on_tray_unmap(Panel& panel, Window window)
{
    DockedIcon* icon = find_icon(window);
    if (!icon)
        return;
    if (icon->unmaps_expected > 0) {
        --icon->unmaps_expected;
        return;
    }
    // Unmapped by its client: it gives up its slot.
    icon->mapped = false;
    if (!icon->wants_shown)
        return;
    icon->wants_shown = false;
    relayout_tray(panel);
}

void on_tray_configure(Panel&, const XConfigureEvent& event)
{
    DockedIcon* icon = find_icon(event.window);
    if (!icon)
        return;
    const bool placed = event.x == icon->left && event.y == TRAY_ICON_TOP;
    const bool sized = event.width == ICON_SIZE && event.height == ICON_SIZE && event.border_width == 0;
    if (placed && sized)
        return;
    // Without a slot it may lie anywhere until it gets one.
    if (icon->slot < 0 && !placed)
        icon->left = INT_MIN;
    if (icon->slot < 0 && sized)
        return;
    // One answer per change the client makes: a client that fights keeps
    // the bar no busier than itself.
    XWindowChanges changes{};
    changes.x = icon->left;
    changes.y = TRAY_ICON_TOP;
    changes.width = changes.height = ICON_SIZE;
    const unsigned int mask = CWWidth | CWHeight | CWBorderWidth | (icon->slot < 0 ? 0 : CWX | CWY);
    XConfigureWindow(ds.display, icon->window, mask, &changes);
}

void on_tray_reparent(Panel& panel, const XReparentEvent& event)
{
    if (event.parent == panel.window || !find_icon(event.window))
        return;
    // Taken by another embedder, or by its own client.
    select_events(panel, event.window, NoEventMask);
    XRemoveFromSaveSet(ds.display, event.window);
    forget_icon(event.window);
    relayout_tray(panel);
}

bool on_tray_destroy(Panel& panel, Window window)
{
    if (window == tray.watched_owner) {
        tray.watched_owner = None;
        claim_tray(panel);
    } else if (window == tray.selection_window) {
        // Destroyed by another client: the selection went with it.
        tray.selection_window = None;
        if (tray.owning)
            let_icons_go(panel);
        claim_tray(panel);
    } else if (find_icon(window)) {
        forget_icon(window);
        assign_slots(panel);
    } else {
        return false;
    }
    return true;
}

void refit_tray(Panel& panel)
{
    assign_slots(panel);
}

void place_tray_icons(const Panel& panel)
{
    for (DockedIcon& icon : tray.icons) {
        if (icon.slot >= 0) {
            const int left = tray_icon_left(ds.monitor.width, icon.slot);
            if (left != icon.left) {
                XMoveWindow(ds.display, icon.window, left, TRAY_ICON_TOP);
                icon.left = left;
            }
        }
        const bool show = icon.slot >= 0 && !panel.collapsed;
        if (show && !icon.mapped)
            map_icon(icon);
        else if (!show && icon.mapped)
            unmap_icon(icon);
    }
}

void repaint_tray(Panel& panel)
{
    request_whole_repaint(panel);
}
