// Painting the bar: separators, client buttons, clock, grip, desktop
// buttons and the whole repaint with the layout of the client buttons.
// Nothing here flushes: the requests leave with the loop's next XPending.
#pragma once

#include "display_state.hpp"
#include "geometry.hpp"

// The groove at columns x and x + 1; leaves `highlight` current, which the
// client buttons and the clock draw their first line in.
void draw_separator(const Panel& panel, int x);

// Repaints one client button in the slot the last redraw_panel gave it. A
// record without a title, or without a slot, draws nothing.
void draw_client_button(const Panel& panel, const TrackedWindow& record);

// Repaints the clock box with the local hours and minutes; sets clock_left.
void draw_clock(const Panel& panel);

void draw_grip_dot(Window window, int x, int y);
void draw_grip(Window window, int x);

// The tray's background with panel.tray_icons slots: a groove at its first
// two columns and `face` over the rest, over any button that reaches into
// it. Nothing without icons.
void draw_tray(const Panel& panel);

// Reads the desktop count, paints the buttons that fit and sets pager_width
// to the width actually painted.
void draw_desktop_buttons(Panel& panel);

// The whole bar; gives every record its button_left and button_width.
void redraw_panel(Panel& panel);

// Repaints the handlers ask for: done at once outside a burst, else noted
// in panel.due for paint_due.
void request_whole_repaint(Panel& panel);
// After a change of the list: the buttons that came or moved and the slots
// left over; the whole bar when the desktop strip or the tray changed too.
void request_list_repaint(Panel& panel);
void request_button_repaint(Panel& panel, TrackedWindow& record);
void request_clock_repaint(Panel& panel);
// The repaints noted: the whole bar, or else the list's, the single
// buttons and the clock.
void paint_due(Panel& panel);

// Advance width of every byte in the bar's font, measured once per font.
const CharWidths& bar_char_widths();
