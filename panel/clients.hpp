// Client records and the window properties that fill them.
#pragma once

#include "display_state.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Reads the whole of `property` in one request. Returns Xlib's data pointer
// (release with XFree) or nullptr; *item_count, when given, gets Xlib's
// item count. Format-32 items are indexed as long.
unsigned char* fetch_property(Window window, Atom property, Atom required_type,
                              unsigned long* item_count = nullptr);

// The format-32 items of a whole property, read in one request and released
// when the holder goes. Data of another format (8 or 16 bits, which Xlib
// does not widen to long) and a property of another type both read as no
// items, so a query that needs item n simply asks has(n).
class PropertyItems {
public:
    PropertyItems(Window window, Atom property, Atom required_type);
    ~PropertyItems();
    PropertyItems(const PropertyItems&) = delete;
    PropertyItems& operator=(const PropertyItems&) = delete;

    // Whether any data came back: the property exists, of whatever type.
    bool present() const { return data_ != nullptr; }
    // Whether the data holds item `index` (counted from 0).
    bool has(std::size_t index) const { return index < count_; }
    std::size_t size() const { return count_; }
    long operator[](std::size_t index) const { return items_[index]; }
    // Item `index` when the data holds it.
    std::optional<long> item(std::size_t index) const;
    const long* begin() const { return items_; }
    const long* end() const { return items_ + count_; }

private:
    unsigned char* data_ = nullptr;
    const long* items_ = nullptr;
    std::size_t count_ = 0;
};

// An X resource id carried in a format-32 item: only the low 32 bits count
// (Xlib sign-extends items into 64-bit longs).
XID xid_item(long item);

int window_desktop(Window window);
bool has_skip_hint(Window window);
bool is_minimized(Window window);

// Where the older _WIN_* hints are absent, their EWMH equivalents speak.
// The desktop the window manager shows: the root's _WIN_WORKSPACE, else
// _NET_CURRENT_DESKTOP, else 0.
int current_desktop();
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

void load_kwm_icon(TrackedWindow& record);
void load_hints_icon(TrackedWindow& record);
// Replaces the client's icon (and mask) named in the record by 16 by 16
// copies that the record owns. When the client's pixmap cannot be queried
// the record gets the fallback icon and mask instead and owns nothing.
void scale_icon(TrackedWindow& record);

// What a tracked client's window selects: its DestroyNotify, FocusIn and
// PropertyNotify.
constexpr long TRACKED_CLIENT_EVENTS = StructureNotifyMask | FocusChangeMask | PropertyChangeMask;

void track_window(Panel& panel, Window window, int active);
TrackedWindow* find_tracked(const Panel& panel, Window window);
void untrack_window(Panel& panel, Window window);
