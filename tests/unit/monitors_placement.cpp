// The bar's monitor, its rectangle, strut and poll thresholds there, and
// where the switcher's pop-up lands, with a 640x480 head beside an 800x600 one.
#include "geometry.hpp"
#include "placement.hpp"

#include <gtest/gtest.h>

namespace {
const Rect LEFT{0, 0, 640, 480}, RIGHT{640, 0, 800, 600};
constexpr int W = 1440, H = 600;
}  // namespace

TEST(BarMonitor, the_primary_usable_monitor_else_the_first_else_the_screen)
{
    const std::pair<std::vector<MonitorArea>, Rect> cases[] = {
        {{}, {0, 0, W, H}},
        {{{LEFT, false}, {RIGHT, true}}, RIGHT},
        {{{{0, 0, 0, 480}, true}, {LEFT, false}}, LEFT},          // zero size
        {{{{2000, 0, 640, 480}, true}, {RIGHT, false}}, RIGHT},   // off the screen
        {{{{-100, 500, 800, 800}, true}}, {0, 500, 700, 100}},    // cut to the screen
        {{{{1, 1, 0x7fffffff, 0x7fffffff}, true}}, {1, 1, W - 1, H - 1}},
        {{{{0, 0, -5, 10}, true}}, {0, 0, W, H}},
    };
    for (const auto& [monitors, chosen] : cases)
        EXPECT_EQ(choose_bar_monitor(monitors, W, H), chosen) << monitors.size();
    EXPECT_EQ(monitor_at({{LEFT, true}, {RIGHT, false}}, 700, 590, W, H), RIGHT);
}

TEST(BarMonitor, the_bar_and_its_strut_on_a_head_shorter_than_the_screen)
{
    EXPECT_EQ(bar_rect(LEFT, false, false), (Rect{0, 456, 640, 24}));
    EXPECT_EQ(bar_rect(RIGHT, true, true), (Rect{640, 0, 800, 2}));
    EXPECT_EQ(bar_rect({5, 10, 0, 12}, false, false), (Rect{5, 10, 1, 24}));  // never above, never empty
    const BarStrut left = bar_strut(LEFT, H, false);
    EXPECT_EQ(left.partial, (std::array<long, 12>{0, 0, 0, 122, 0, 0, 0, 0, 0, 0, 0, 639}));
    EXPECT_FALSE(left.whole_edge);
    const BarStrut right = bar_strut(RIGHT, H, false);
    EXPECT_EQ(right.partial, (std::array<long, 12>{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 640, 1439}));
    EXPECT_TRUE(right.whole_edge);
    EXPECT_EQ(bar_strut({0, 100, 640, 480}, H, true).partial[2], 102);
}

TEST(BarMonitor, the_poll_judges_the_pointer_by_the_heads_rows_and_columns)
{
    const std::tuple<int, int, bool, bool, bool> cases[] = {
        // x, y, collapsed, top edge, toggles
        {100, 478, true, false, true}, {100, 477, true, false, false}, {700, 599, true, false, false},
        {100, 455, false, false, true}, {100, 456, false, false, false}, {700, 470, false, false, true},
        {100, 2, true, true, true}, {700, 2, true, true, false}, {100, 25, false, true, true},
    };
    for (const auto& [x, y, collapsed, top, toggles] : cases)
        EXPECT_EQ(poll_toggles_on(x, y, LEFT, collapsed, top), toggles) << x << "," << y;
}

TEST(PopupPlacement, moves_left_or_up_just_enough_to_lie_on_the_monitor)
{
    const std::tuple<Point, Rect, Point> cases[] = {
        {{100, 100}, LEFT, {100, 100}}, {{630, 470}, LEFT, {578, 439}},
        {{700, 590}, RIGHT, {700, 559}}, {{700, 10}, {640, 0, 30, 30}, {640, 0}},  // too big: the corner
    };
    for (const auto& [at, monitor, origin] : cases) {
        const Point p = popup_origin(at, 62, 41, monitor);
        EXPECT_EQ(std::pair(p.x, p.y), std::pair(origin.x, origin.y)) << at.x << "," << at.y;
    }
}
