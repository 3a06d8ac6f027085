#include "draw.hpp"

#include "look.hpp"

// Stubs until the drawing lands.
void draw_separator(const Panel&, int) {}
void draw_client_button(const Panel&, const TrackedWindow&) {}
void draw_clock(const Panel&) {}
void draw_grip_dot(Window, int, int) {}
void draw_grip(Window, int) {}
void draw_desktop_buttons(const Panel&) {}
void redraw_panel(Panel&) {}
