// Client records and the window properties that fill them.
#pragma once

#include "display_state.hpp"

// Reads the whole of `property` in one request. Returns Xlib's data pointer
// (release with XFree) or nullptr; *item_count, when given, gets Xlib's
// item count. Format-32 items are indexed as long.
unsigned char* fetch_property(Window window, Atom property, Atom required_type,
                              unsigned long* item_count = nullptr);

int window_desktop(Window window);
bool has_skip_hint(Window window);
bool is_minimized(Window window);

// The window's title by the rules for WM_NAME: STRING copied, other
// encodings converted in the current locale, raw bytes when that fails.
// nullopt when the window has no WM_NAME.
std::optional<std::string> read_title(Window window);

void load_kwm_icon(TrackedWindow& record);
void load_hints_icon(TrackedWindow& record);
void scale_icon(TrackedWindow& record);

void track_window(Panel& panel, Window window, int active);
TrackedWindow* find_tracked(const Panel& panel, Window window);
void untrack_window(Panel& panel, Window window);
