// Painting the bar: separators, client buttons, clock, grip, desktop
// buttons and the whole repaint with the layout of the client buttons.
#pragma once

#include "display_state.hpp"

void draw_separator(const Panel& panel, int x);
void draw_client_button(const Panel& panel, const TrackedWindow& record);
void draw_clock(const Panel& panel);
void draw_grip_dot(Window window, int x, int y);
void draw_grip(Window window, int x);
void draw_desktop_buttons(const Panel& panel);
void redraw_panel(Panel& panel);
