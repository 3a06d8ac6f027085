// Monitors as plain rectangles: clipping them to the screen and finding
// the one under a point. No X here, so the tests call these directly.
#pragma once

#include <vector>

// A rectangle in root coordinates.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

struct MonitorArea {
    Rect rect;
    bool primary = false;
};

// `rect` cut to the screen; width and height 0 when nothing of it is left.
Rect clamp_to_screen(Rect rect, int screen_width, int screen_height);

// The monitors cut to the screen, in their order, without the ones of zero
// size or wholly off the screen; the whole screen when none is left.
std::vector<MonitorArea> usable_monitors(const std::vector<MonitorArea>& monitors,
                                         int screen_width, int screen_height);

// The usable monitor that holds the point, or the first usable one.
Rect monitor_at(const std::vector<MonitorArea>& monitors, int x, int y, int screen_width,
                int screen_height);
