// Where presses, motion and the resting pointer take the bar.
#include "geometry.hpp"

#include <gtest/gtest.h>

namespace {

constexpr int W = 1024;
constexpr int H = 768;
constexpr int CLOCK = W - 43;

}  // namespace

TEST(PressRegions, desktop_strip_runs_from_column_49_for_24_columns_a_desktop)
{
    EXPECT_EQ(pressed_desktop(48, 96), -1);
    EXPECT_EQ(pressed_desktop(49, 96), 0);
    EXPECT_EQ(pressed_desktop(72, 96), 1);
    EXPECT_EQ(pressed_desktop(143, 96), 3);
    EXPECT_EQ(pressed_desktop(144, 96), -1);
    EXPECT_EQ(pressed_desktop(60, 0), -1);  // no count, or a single desktop
}

TEST(PressRegions, earlier_regions_win_where_they_overlap)
{
    struct Case {
        int x, y;
        bool collapsed, top;
        PressAction action;
    };
    const Case cases[] = {
        {W - 1, 12, true, false, PressAction::Expand},  // any press on the strip
        {500, 21, false, false, PressAction::ClientButtons},
        {500, 22, false, false, PressAction::Collapse},  // two rows at the bottom
        {500, 2, false, true, PressAction::Collapse},    // three at the top
        {500, 3, false, true, PressAction::ClientButtons},
        {W - 10, 23, false, false, PressAction::Collapse},  // over the clock
        {10, 22, false, false, PressAction::Collapse},      // over Start
        {W - 1, 10, false, false, PressAction::SwitchEdge},
        {W - 2, 10, false, false, PressAction::Clock},
        {CLOCK, 10, false, false, PressAction::ClientButtons},
        {47, 10, false, false, PressAction::Start},
        {48, 10, false, false, PressAction::ClientButtons},
    };
    for (const Case& c : cases)
        EXPECT_EQ(press_action(c.x, c.y, W, CLOCK, c.collapsed, c.top), c.action)
            << "x " << c.x << " y " << c.y;
    // Before the first clock repaint every column right of 0 counts as the clock.
    EXPECT_EQ(press_action(1, 10, W, 0, false, false), PressAction::Clock);
}

TEST(PressRegions, client_buttons_exclude_both_bounds)
{
    EXPECT_FALSE(hits_client_button(148, 148, 144));
    EXPECT_TRUE(hits_client_button(149, 148, 144));
    EXPECT_TRUE(hits_client_button(291, 148, 144));
    EXPECT_FALSE(hits_client_button(292, 148, 144));
    EXPECT_EQ(client_action(true, true), ClientAction::Restore);
    EXPECT_EQ(client_action(true, false), ClientAction::Minimize);
    EXPECT_EQ(client_action(false, false), ClientAction::RaiseAndFocus);
}

TEST(PressRegions, desktop_requests_stay_below_the_published_count)
{
    EXPECT_FALSE(desktop_request_allowed(-1, std::nullopt));
    EXPECT_TRUE(desktop_request_allowed(1000000, std::nullopt));
    EXPECT_TRUE(desktop_request_allowed(3, 4u));
    EXPECT_FALSE(desktop_request_allowed(4, 4u));
    EXPECT_TRUE(desktop_request_allowed(5, 0xFFFFFFFFu));  // compared unsigned
}

TEST(AutoHide, motion_collapses_on_the_row_farthest_from_the_edge_and_expands_anywhere)
{
    for (int y = 0; y < 24; ++y) {
        EXPECT_EQ(motion_toggles(y, false, false), y == 0) << y;
        EXPECT_EQ(motion_toggles(y, false, true), y == 23) << y;
    }
    EXPECT_TRUE(motion_toggles(1, true, false));
    EXPECT_TRUE(motion_toggles(0, true, true));
}

TEST(AutoHide, poll_thresholds_are_not_mirror_images)
{
    EXPECT_FALSE(poll_toggles(24, H, false, true));  // top: row 24 keeps the bar
    EXPECT_TRUE(poll_toggles(25, H, false, true));
    EXPECT_TRUE(poll_toggles(H - 25, H, false, false));  // bottom: the first row above collapses
    EXPECT_FALSE(poll_toggles(H - 24, H, false, false));
    EXPECT_TRUE(poll_toggles(2, H, true, true));  // collapsed: three rows at the top...
    EXPECT_FALSE(poll_toggles(3, H, true, true));
    EXPECT_TRUE(poll_toggles(H - 2, H, true, false));  // ...two at the bottom
    EXPECT_FALSE(poll_toggles(H - 3, H, true, false));
}
