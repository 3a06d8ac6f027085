// Client records and the window properties that fill them.
#pragma once

#include "display_state.hpp"
#include "properties.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

int window_desktop(Window window);
bool has_skip_hint(Window window);
bool is_minimized(Window window);
// Whether WM_STATE as read says Iconic.
bool minimized_from(const PropertyItems& state);

// Where the older _WIN_* hints are absent, their EWMH equivalents speak.
// The desktop the window manager shows: the root's _WIN_WORKSPACE, else
// _NET_CURRENT_DESKTOP, else 0.
int current_desktop();
int current_desktop_from(const PropertyItems& workspace, const PropertyItems& net_desktop);
// The number of desktops: _WIN_WORKSPACE_COUNT, else _NET_NUMBER_OF_DESKTOPS.
std::optional<std::uint32_t> desktop_count();
// A client's desktop: its _WIN_WORKSPACE, else its _NET_WM_DESKTOP (where
// "every desktop" counts as `shown_desktop`), else 0.
int client_desktop(Window window, int shown_desktop);
// Whether the client stays off the bar: the skip bit of its _WIN_HINTS where
// it has them, else a skip-taskbar state or a dock or desktop window type.
bool stays_off_bar(Window window);

// The window's title: its _NET_WM_NAME where that holds valid UTF-8, else
// its WM_NAME by the rules for that (see window_name.hpp). nullopt when it
// has neither, "" for an empty WM_NAME; *kind (when given) gets the title's
// encoding and source. Never throws: when the copy cannot be allocated it
// returns nullopt and sets *out_of_memory (when given).
std::optional<std::string> read_title(Window window, bool* out_of_memory = nullptr,
                                      TitleKind* kind = nullptr);
// WM_NAME's title alone, for a change of it on a window whose title does
// not come from _NET_WM_NAME; nullopt also when out of memory.
std::optional<std::string> read_wm_name_title(Window window, TitleKind* kind);
// The same rules on the properties as read (_NET_WM_NAME without data for
// WM_NAME's title alone); nullopt also when out of memory.
std::optional<std::string> title_from(const PropertyData& net_wm_name, const PropertyData& wm_name,
                                      TitleKind* kind);

void load_kwm_icon(TrackedWindow& record);
void load_hints_icon(TrackedWindow& record);

// The size and depth of a client's icon pixmap.
struct IconGeometry {
    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
};
// Replaces the client's icon (and mask) named in the record by 16 by 16
// copies that the record owns. When the client's pixmap cannot be queried
// (no geometry) the record gets the fallback icon and mask instead and
// owns nothing.
void scale_icon(TrackedWindow& record);
void scale_icon(TrackedWindow& record, std::optional<IconGeometry> geometry);

// What a tracked client's window selects: its DestroyNotify, FocusIn and
// PropertyNotify.
constexpr long TRACKED_CLIENT_EVENTS = StructureNotifyMask | FocusChangeMask | PropertyChangeMask;

// Makes records for the windows (in their order) that belong on the bar:
// on the shown desktop and not asking to stay off it. Every window's facts
// are requested before any reply is awaited: a few round trips in all,
// however many windows. `focus` gets the pressed look. Returns the input
// focus as read with the facts, once the new records' focus events are
// selected (`focus` when no record was made).
Window track_windows(Panel& panel, const Window* windows, std::size_t count, Window focus);
// The same for one window; only bit 0 of `active` counts.
void track_window(Panel& panel, Window window, int active);
TrackedWindow* find_tracked(const Panel& panel, Window window);
// Whether the window had a record.
bool untrack_window(Panel& panel, Window window);
