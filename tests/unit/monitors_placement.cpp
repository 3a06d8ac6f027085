// The bar's monitor, its rectangle, strut and poll thresholds there, and
// where the switcher's pop-up lands: plain numbers, several monitors.
#include "geometry.hpp"
#include "placement.hpp"

#include <gtest/gtest.h>

namespace {

// A 640x480 head beside an 800x600 one: the screen is 1440x600.
const Rect LEFT{0, 0, 640, 480};
const Rect RIGHT{640, 0, 800, 600};
constexpr int W = 1440, H = 600;

}  // namespace

TEST(BarMonitor, the_primary_usable_monitor_else_the_first_else_the_screen)
{
    struct Case {
        const char* what;
        std::vector<MonitorArea> monitors;
        Rect chosen;
    };
    const Case cases[] = {
        {"none listed", {}, {0, 0, W, H}},
        {"no primary", {{LEFT, false}, {RIGHT, false}}, LEFT},
        {"second primary", {{LEFT, false}, {RIGHT, true}}, RIGHT},
        {"zero-size primary dropped", {{{0, 0, 0, 480}, true}, {RIGHT, false}}, RIGHT},
        {"primary off the screen dropped", {{{2000, 0, 640, 480}, true}, {RIGHT, false}}, RIGHT},
        {"cut to the screen", {{{-100, 500, 800, 800}, true}}, {0, 500, 700, 100}},
        {"nothing usable", {{{0, 0, -5, 10}, true}, {{W, H, 10, 10}, false}}, {0, 0, W, H}},
        {"huge sizes do not wrap", {{{1, 1, 0x7fffffff, 0x7fffffff}, true}}, {1, 1, W - 1, H - 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(choose_bar_monitor(c.monitors, W, H), c.chosen) << c.what;

    EXPECT_EQ(monitor_at({{LEFT, true}, {RIGHT, false}}, 700, 590, W, H), RIGHT);
    EXPECT_EQ(monitor_at({{LEFT, true}, {RIGHT, false}}, 100, 590, W, H), LEFT);  // below the left head
}

TEST(BarMonitor, the_bar_lies_on_its_monitor_and_reserves_from_the_screen_edge)
{
    EXPECT_EQ(bar_rect(LEFT, false, false), (Rect{0, 456, 640, 24}));
    EXPECT_EQ(bar_rect(LEFT, true, false), (Rect{0, 478, 640, 2}));
    EXPECT_EQ(bar_rect(RIGHT, false, true), (Rect{640, 0, 800, 24}));
    // A monitor lower than the bar: the bar starts at its top, never above.
    EXPECT_EQ(bar_rect({0, 10, 30, 12}, false, false), (Rect{0, 10, 30, 24}));
    EXPECT_EQ(bar_rect({5, 0, 0, 0}, false, false).width, 1);

    const BarStrut left = bar_strut(LEFT, H, false);
    EXPECT_EQ(left.partial, (std::array<long, 12>{0, 0, 0, 122, 0, 0, 0, 0, 0, 0, 0, 639}));
    EXPECT_FALSE(left.whole_edge);  // the head ends 120 rows above the screen's bottom
    const BarStrut right = bar_strut(RIGHT, H, false);
    EXPECT_EQ(right.partial[3], 2);
    EXPECT_EQ(right.partial[10], 640);
    EXPECT_EQ(right.partial[11], 1439);
    EXPECT_TRUE(right.whole_edge);
    const BarStrut top = bar_strut({0, 100, 640, 480}, H, true);
    EXPECT_EQ(top.partial[2], 102);
    EXPECT_FALSE(top.whole_edge);
    EXPECT_TRUE(bar_strut(LEFT, H, true).whole_edge);
}

TEST(BarMonitor, the_poll_looks_at_the_monitors_rows_and_columns)
{
    struct Case {
        int x, y;
        bool collapsed, top_edge, toggles;
    };
    const Case cases[] = {
        {100, 478, true, false, true},    // the head's last two rows show the bar
        {100, 477, true, false, false},
        {700, 599, true, false, false},   // the other head's bottom is not the bar's edge
        {100, 455, false, false, true},   // first row above the bar hides it
        {100, 456, false, false, false},
        {700, 470, false, false, true},   // beside the bar, on the other head: away
        {100, 2, true, true, true},
        {700, 2, true, true, false},
        {100, 24, false, true, false},
        {100, 25, false, true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(poll_toggles_on(c.x, c.y, LEFT, c.collapsed, c.top_edge), c.toggles)
            << c.x << "," << c.y << " collapsed " << c.collapsed << " top " << c.top_edge;
}

TEST(PopupPlacement, moves_left_or_up_just_enough_to_lie_on_the_monitor)
{
    struct Case {
        Point at;
        int width, height;
        Rect monitor;
        Point origin;
    };
    const Case cases[] = {
        {{100, 100}, 62, 41, LEFT, {100, 100}},     // room enough: at the pointer
        {{630, 100}, 62, 41, LEFT, {578, 100}},     // 10 from the right edge
        {{700, 590}, 62, 41, RIGHT, {700, 559}},    // 10 from the bottom edge
        {{630, 470}, 62, 41, LEFT, {578, 439}},     // both
        {{700, 10}, 1000, 700, RIGHT, {640, 0}},    // larger than the monitor: its corner
    };
    for (const Case& c : cases) {
        const Point origin = popup_origin(c.at, c.width, c.height, c.monitor);
        EXPECT_EQ(origin.x, c.origin.x) << c.at.x << "," << c.at.y;
        EXPECT_EQ(origin.y, c.origin.y) << c.at.x << "," << c.at.y;
    }
}
