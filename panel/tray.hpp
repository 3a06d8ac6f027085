// The system tray: owning the screen's tray selection, docking status icons
// into the bar (XEmbed) and keeping them in their slots left of the clock.
#pragma once

#include "display_state.hpp"

// Start-up: takes the tray selection when nobody holds it; otherwise the
// bar has no tray until the holder's window goes away.
void init_tray(Panel& panel);

// Dock requests; balloon messages and unknown opcodes are ignored.
void on_tray_message(Panel& panel, const XClientMessageEvent& message);
// Another tray took the selection: the icons go back to the root, where
// the new tray's announcement collects them.
void on_tray_selection_clear(Panel& panel, const XSelectionClearEvent& event);
// An icon's _XEMBED_INFO, or the root's desktop count (which changes the
// room the tray may take).
void on_tray_property(Panel& panel, Window window, Atom atom);
void on_tray_map(Panel& panel, Window window);
void on_tray_unmap(Panel& panel, Window window);
void on_tray_configure(Panel& panel, const XConfigureEvent& event);
void on_tray_reparent(Panel& panel, const XReparentEvent& event);
// A docked icon or the watched tray holder went away. Asks for no repaint;
// returns whether the window was one of the tray's, for which the loop
// asks for a whole one.
bool on_tray_destroy(Panel& panel, Window window);

// The bar's width changed: slots as far as the new room allows, each icon
// moved to its slot. Paints nothing.
void refit_tray(Panel& panel);

// After the bar collapsed or expanded: icons show only on the expanded bar.
void place_tray_icons(const Panel& panel);

// The number of shown icons changed, and with it the client room: the bar
// is painted again.
void repaint_tray(Panel& panel);
