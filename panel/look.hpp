// The bar's look (colours, font, baseline, GC, fallback icon), its window
// and placement, and the three drawing primitives everything draws through.
#pragma once

#include "display_state.hpp"

// Colours, font, baseline, GC and fallback icon. Returns false when not even
// the font "fixed" can be loaded (after saying so on standard error).
bool init_look();

// Creates, labels and maps the bar window; returns its zero-filled Panel,
// or nullptr when the record cannot be allocated.
Panel* create_panel();

// Replaces `property` of `window` with one CARDINAL item.
void set_cardinal_property(Window window, Atom property, long value);

// Sizes and moves the bar from its collapsed and top_edge flags.
void place_panel(const Panel& panel);

// The GC's foreground is shared state: each call draws in the colour the
// last set_ink left current.
void set_ink(int color_index);
void draw_line(const Panel& panel, int x1, int y1, int x2, int y2);
void fill_rect(const Panel& panel, int x, int y, int width, int height);
