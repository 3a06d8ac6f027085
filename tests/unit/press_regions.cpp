// Where presses, motion and the resting pointer take the bar.
#include "geometry.hpp"

#include <gtest/gtest.h>

namespace {

constexpr int W = 1024;
constexpr int H = 768;
constexpr int CLOCK = W - 43;

PressAction expanded_bottom(int x, int y) { return press_action(x, y, W, CLOCK, false, false); }
PressAction expanded_top(int x, int y) { return press_action(x, y, W, CLOCK, false, true); }

}  // namespace

TEST(DesktopStrip, covers_the_columns_after_the_start_area_up_to_the_strip_width)
{
    EXPECT_EQ(pressed_desktop(48, 96), -1);  // first groove column
    EXPECT_EQ(pressed_desktop(49, 96), 0);
    EXPECT_EQ(pressed_desktop(71, 96), 0);
    EXPECT_EQ(pressed_desktop(72, 96), 1);
    EXPECT_EQ(pressed_desktop(143, 96), 3);
    EXPECT_EQ(pressed_desktop(144, 96), -1);
    EXPECT_EQ(pressed_desktop(10, 96), -1);
}

TEST(DesktopStrip, is_absent_without_desktop_buttons)
{
    for (int x = 0; x < 200; ++x)
        EXPECT_EQ(pressed_desktop(x, 0), -1) << x;
}

TEST(PressAction, collapsed_bar_expands_wherever_it_is_pressed)
{
    for (bool top : {false, true}) {
        EXPECT_EQ(press_action(W - 1, 0, W, CLOCK, true, top), PressAction::Expand);
        EXPECT_EQ(press_action(5, 1, W, CLOCK, true, top), PressAction::Expand);
        EXPECT_EQ(press_action(500, 1, W, CLOCK, true, top), PressAction::Expand);
    }
}

TEST(PressAction, collapse_band_is_two_rows_at_the_bottom_and_three_at_the_top)
{
    EXPECT_EQ(expanded_bottom(500, 21), PressAction::ClientButtons);
    EXPECT_EQ(expanded_bottom(500, 22), PressAction::Collapse);
    EXPECT_EQ(expanded_bottom(500, 23), PressAction::Collapse);
    EXPECT_EQ(expanded_top(500, 0), PressAction::Collapse);
    EXPECT_EQ(expanded_top(500, 2), PressAction::Collapse);
    EXPECT_EQ(expanded_top(500, 3), PressAction::ClientButtons);
}

TEST(PressAction, collapse_band_wins_over_clock_start_and_edge_switch)
{
    EXPECT_EQ(expanded_bottom(W - 10, 23), PressAction::Collapse);
    EXPECT_EQ(expanded_bottom(10, 22), PressAction::Collapse);
    EXPECT_EQ(expanded_bottom(W - 1, 22), PressAction::Collapse);
    EXPECT_EQ(expanded_top(W - 1, 1), PressAction::Collapse);
}

TEST(PressAction, only_the_last_column_switches_the_edge)
{
    EXPECT_EQ(expanded_bottom(W - 1, 10), PressAction::SwitchEdge);
    EXPECT_EQ(expanded_bottom(W - 2, 10), PressAction::Clock);
    EXPECT_EQ(expanded_top(W - 1, 23), PressAction::SwitchEdge);
}

TEST(PressAction, clock_starts_after_its_groove_and_start_area_ends_before_column_48)
{
    EXPECT_EQ(expanded_bottom(CLOCK, 10), PressAction::ClientButtons);
    EXPECT_EQ(expanded_bottom(CLOCK + 1, 10), PressAction::Clock);
    EXPECT_EQ(expanded_bottom(0, 10), PressAction::Start);
    EXPECT_EQ(expanded_bottom(47, 10), PressAction::Start);
    EXPECT_EQ(expanded_bottom(48, 10), PressAction::ClientButtons);
}

TEST(PressAction, before_the_clock_is_painted_every_column_past_0_is_the_clock)
{
    EXPECT_EQ(press_action(1, 10, W, 0, false, false), PressAction::Clock);
    EXPECT_EQ(press_action(0, 10, W, 0, false, false), PressAction::Start);
}

TEST(ClientButton, separator_column_and_the_column_past_the_button_hit_nothing)
{
    EXPECT_FALSE(hits_client_button(148, 148, 144));
    EXPECT_TRUE(hits_client_button(149, 148, 144));
    EXPECT_TRUE(hits_client_button(291, 148, 144));
    EXPECT_FALSE(hits_client_button(292, 148, 144));
    EXPECT_FALSE(hits_client_button(10, 0, 0));  // laid out before any repaint
}

TEST(ClientButton, minimised_restores_focused_minimises_other_raises)
{
    EXPECT_EQ(client_action(false, true), ClientAction::Restore);
    EXPECT_EQ(client_action(true, true), ClientAction::Restore);
    EXPECT_EQ(client_action(true, false), ClientAction::Minimize);
    EXPECT_EQ(client_action(false, false), ClientAction::RaiseAndFocus);
}

TEST(DesktopRequest, goes_out_only_for_existing_desktops)
{
    EXPECT_FALSE(desktop_request_allowed(-1, std::nullopt));
    EXPECT_TRUE(desktop_request_allowed(0, std::nullopt));
    EXPECT_TRUE(desktop_request_allowed(1000000, std::nullopt));
    EXPECT_TRUE(desktop_request_allowed(3, 4u));
    EXPECT_FALSE(desktop_request_allowed(4, 4u));
    EXPECT_FALSE(desktop_request_allowed(0, 0u));
    EXPECT_TRUE(desktop_request_allowed(5, 0xFFFFFFFFu));  // a "negative" count is huge
}

TEST(Motion, collapses_only_on_the_row_farthest_from_the_screen_edge)
{
    EXPECT_TRUE(motion_toggles(0, false, false));
    for (int y = 1; y < 24; ++y)
        EXPECT_FALSE(motion_toggles(y, false, false)) << y;
    EXPECT_TRUE(motion_toggles(23, false, true));
    for (int y = 0; y < 23; ++y)
        EXPECT_FALSE(motion_toggles(y, false, true)) << y;
}

TEST(Motion, any_motion_over_the_strip_expands_it)
{
    for (bool top : {false, true})
        for (int y : {0, 1})
            EXPECT_TRUE(motion_toggles(y, true, top));
}

TEST(Poll, expanded_at_the_top_stays_on_row_24_and_collapses_from_row_25)
{
    EXPECT_FALSE(poll_toggles(0, H, false, true));
    EXPECT_FALSE(poll_toggles(24, H, false, true));
    EXPECT_TRUE(poll_toggles(25, H, false, true));
    EXPECT_TRUE(poll_toggles(H - 1, H, false, true));
}

TEST(Poll, expanded_at_the_bottom_collapses_from_the_first_row_above_it)
{
    EXPECT_TRUE(poll_toggles(0, H, false, false));
    EXPECT_TRUE(poll_toggles(H - 25, H, false, false));
    EXPECT_FALSE(poll_toggles(H - 24, H, false, false));
    EXPECT_FALSE(poll_toggles(H - 1, H, false, false));
}

TEST(Poll, collapsed_expands_on_three_rows_at_the_top_and_two_at_the_bottom)
{
    EXPECT_TRUE(poll_toggles(0, H, true, true));
    EXPECT_TRUE(poll_toggles(2, H, true, true));
    EXPECT_FALSE(poll_toggles(3, H, true, true));
    EXPECT_FALSE(poll_toggles(H - 3, H, true, false));
    EXPECT_TRUE(poll_toggles(H - 2, H, true, false));
    EXPECT_TRUE(poll_toggles(H - 1, H, true, false));
}
