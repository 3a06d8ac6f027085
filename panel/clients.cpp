#include "clients.hpp"

// Stubs until the client records land.
unsigned char* fetch_property(Window, Atom, Atom, unsigned long* item_count)
{
    if (item_count)
        *item_count = 0;
    return nullptr;
}
int window_desktop(Window) { return 0; }
bool has_skip_hint(Window) { return false; }
bool is_minimized(Window) { return false; }
std::optional<std::string> read_title(Window) { return std::nullopt; }
void load_kwm_icon(TrackedWindow&) {}
void load_hints_icon(TrackedWindow&) {}
void scale_icon(TrackedWindow&) {}
void track_window(Panel&, Window, int) {}
TrackedWindow* find_tracked(const Panel&, Window) { return nullptr; }
void untrack_window(Panel&, Window) {}
