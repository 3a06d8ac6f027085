// The panel's shared records: the process-wide DisplayState, the one Panel
// and the TrackedWindow of each client button, with the constants they use.
#pragma once

#include "constants.hpp"
#include "monitor_rules.hpp"
#include "text.hpp"

#include <X11/Xlib.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>


// Indices into DisplayState::atoms; the order is the order of interning.
enum AtomIndex {
    KwmWinIcon,
    MotifWmHints,
    WinWorkspace,
    WinHints,
    WinLayer,
    NetClientList,
    WinClientList,
    WinWorkspaceCount,
    WinState,
    WmState,
    // The EWMH equivalents, read only where the older hints are absent.
    NetCurrentDesktop,
    NetNumberOfDesktops,
    NetSupported,
    NetActiveWindow,
    NetWmDesktop,
    NetWmState,
    NetWmStateSticky,
    NetWmStateAbove,
    NetWmStateSkipTaskbar,
    NetWmStateSkipPager,
    NetWmWindowType,
    NetWmWindowTypeDock,
    NetWmWindowTypeDesktop,
    NetWmIcon,
    NetWmStrut,
    NetWmStrutPartial,
    NetWmName,
    Utf8String,
    ATOM_COUNT
};

// Indices into DisplayState::panel_colors.
enum ColorIndex { Face, FacePressed, FaceSpare, Highlight, Shadow, Ink, COLOR_COUNT };

struct Panel;

// What a title is besides its bytes.
struct TitleKind {
    TextEncoding encoding = TextEncoding::Latin1;
    bool from_net_wm_name = false;  // WM_NAME changes then leave it alone
};

// One client window shown as a button. Owns its title and, when owns_icon
// is set, its icon and mask; KWM_WIN_ICON pixmaps and the fallback icon are
// only borrowed.
struct TrackedWindow {
    TrackedWindow* next = nullptr;
    Window window = None;
    Pixmap icon = None;
    Pixmap icon_mask = None;
    std::optional<std::string> title;  // nullopt: no name at all; "" : an empty one
    TitleKind title_kind;
    int button_left = 0;
    int button_width = 0;
    bool active : 1 = false;
    bool minimized : 1 = false;
    bool owns_icon : 1 = false;
    bool repaint_due : 1 = false;  // its button waits for the end of the burst
    // A title change announced in the burst: _NET_WM_NAME (read with
    // WM_NAME) or WM_NAME alone.
    bool net_title_due : 1 = false;
    bool wm_title_due : 1 = false;
    bool state_due : 1 = false;  // a WM_STATE change announced in the burst
};

// Work the handlers ask for while the loop takes in a burst of events, done
// once the queue is drained: a placement, one sync, then one paint. Outside
// the loop (at start-up) nothing gathers and the work is done at once.
struct DueWork {
    bool gathering = false;
    // When the bar is to be placed again after a screen change; empty when
    // no change is pending.
    std::optional<std::chrono::steady_clock::time_point> placement;
    bool sync = false;
    // When the first notice asking for this sync came, and when the last
    // sync was done.
    std::optional<std::chrono::steady_clock::time_point> sync_asked;
    std::chrono::steady_clock::time_point last_sync{};
    bool whole_bar = false;
    bool list = false;     // the list changed: buttons that moved or came, and what they left
    bool buttons = false;  // some records have repaint_due
    bool reads = false;    // some records have a title or state due
    bool focus = false;    // the focus is to be read again
    // The focus is where the last FocusIn put it: no event since says it
    // left that client, so reading it again would tell nothing new.
    bool focus_known = false;
    bool clock = false;
};

// What the last whole or list repaint left on the bar. A repaint after a
// change of the list draws only what differs from it.
struct PaintedBar {
    bool valid = false;
    int desktop = 0;
    int pager_width = 0;
    int tray_icons = 0;
    int width = 0;
    int row_end = 0;    // where the slots of the client buttons ended
    bool rest = false;  // a rest was drawn from row_end on
};

// The one bar. Starts expanded at the bottom edge, showing desktop 0.
struct Panel {
    Window window = None;
    TrackedWindow* first_client = nullptr;
    int client_count = 0;
    int desktop = 0;
    // Tray icons shown, each in a slot left of the clock; set by the tray.
    int tray_icons = 0;
    DueWork due;
    // The sequence number of the last sync's first read, while notices older
    // than it may still be queued.
    std::optional<std::uint32_t> sync_first_read;
    PaintedBar painted;
    // The desktop count as the loop last read it (0 when absent); empty
    // until read, and again after a notice that it changed.
    std::optional<std::uint32_t> desktop_count;
    bool collapsed : 1 = false;
    bool top_edge : 1 = false;
};

struct DisplayState {
    Display* display = nullptr;
    int screen = 0;
    Window root = None;
    int depth = 0;
    int screen_width = 0;
    int screen_height = 0;
    // The monitor the bar lives on; its width is the bar's width.
    Rect monitor;
    std::array<Atom, ATOM_COUNT> atoms{};
    std::array<unsigned long, COLOR_COUNT> panel_colors{};
    GC gc = nullptr;
    XFontStruct* font = nullptr;
    UnicodeFace unicode_face;  // for UTF-8 titles beyond Latin-1
    int baseline = 0;
    Pixmap fallback_icon = None;
    Pixmap fallback_mask = None;
    int clock_left = 0;
    int pager_width = 0;
    // The command a press on the clock runs; the build variant chooses it.
    const char* calendar_command = "calendar";
};

extern DisplayState ds;

// Start-up steps that open the connection and fill DisplayState: display,
// screen metrics, the root's event mask, the error handler, the atoms.
// Returns false when the display cannot be opened.
bool connect_display();

// The X error handler: every protocol error (a window that vanished between
// two requests, a bad pixmap id in another client's hints) is dropped.
int ignore_x_error(Display* display, XErrorEvent* error);

// XSync without discarding events.
void flush_and_wait();
