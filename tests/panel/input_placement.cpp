// Collapsing, expanding and moving the bar by presses and pointer motion.
// panel-lite has no poll, so every change here comes from the input alone.
#include "input_running_panel.hpp"

using namespace running_panel;

namespace {

class Placement : public RunningPanel {
protected:
    void SetUp() override
    {
        RunningPanel::SetUp();
        if (HasFatalFailure())
            return;
        park_pointer(screen_width / 2, screen_height / 2);
        start("panel-lite");
        ASSERT_TRUE(expanded_bottom());
    }

    void move_to_top()
    {
        click_bar(screen_width - 1, 12);
        ASSERT_TRUE(wait_until([&] { return expanded_top(); }));
    }
};

}  // namespace

// A pointer moved onto the strip expands it by motion before any press
// arrives, so presses on the strip are made where the pointer already rests.

TEST_F(Placement, a_press_on_the_two_bottom_rows_collapses_and_any_press_on_the_strip_expands)
{
    click_bar(300, 21);
    click_bar(300, 22);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    click(dpy);
    ASSERT_TRUE(wait_until([&] { return expanded_bottom(); }));
    click(dpy);  // now on the expanded bar's row 22
    EXPECT_TRUE(wait_until([&] { return collapsed_bottom(); }));
}

TEST_F(Placement, the_collapse_band_over_the_clock_start_or_edge_collapses_and_launches_nothing)
{
    for (int x : {screen_width - 20, 10, screen_width - 1}) {
        click_bar(x, 23);
        ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); })) << "x " << x;
        click(dpy);
        ASSERT_TRUE(wait_until([&] { return expanded_bottom(); })) << "x " << x;
    }

    // A launch from the presses above would be written before this one.
    click_bar(10, 12);
    ASSERT_TRUE(wait_until([&] { return launched_count("Start") == 1; }));
    EXPECT_FALSE(wait_until([&] { return launched().size() > 1; }, 500ms));
}

TEST_F(Placement, motion_on_the_top_row_collapses_a_bottom_bar_and_motion_over_the_strip_expands_it)
{
    move_over_bar(400, 5);
    move_over_bar(400, 1);
    move_over_bar(400, 23);
    move_over_bar(410, 0);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    move_pointer(dpy, 420, screen_height - 2);
    EXPECT_TRUE(wait_until([&] { return expanded_bottom(); }));
}

TEST_F(Placement, a_pointer_that_leaves_without_touching_the_top_row_leaves_the_bar_expanded)
{
    move_over_bar(400, 5);
    move_pointer(dpy, 400, screen_height / 2);
    // A later press shows the motion has been handled without a change.
    click_bar(10, 12);
    ASSERT_TRUE(wait_until([&] { return launched_count("Start") == 1; }));
    EXPECT_TRUE(expanded_bottom());
}

TEST_F(Placement, only_the_last_column_moves_the_bar_to_the_other_edge_and_back)
{
    click_bar(screen_width - 2, 12);
    ASSERT_TRUE(wait_until([&] { return launched_count("xcalendar") == 1; }));
    EXPECT_TRUE(expanded_bottom());

    move_to_top();
    click_bar(screen_width - 1, 12);
    EXPECT_TRUE(wait_until([&] { return expanded_bottom(); }));
}

TEST_F(Placement, at_the_top_the_three_top_rows_collapse_and_the_bar_comes_back_at_the_top)
{
    move_to_top();
    click_bar(300, 3);
    click_bar(300, 1);
    ASSERT_TRUE(wait_until([&] { return collapsed_top(); }));
    click(dpy);
    ASSERT_TRUE(wait_until([&] { return expanded_top(); }));
    click_bar(600, 2);
    EXPECT_TRUE(wait_until([&] { return collapsed_top(); }));
}

TEST_F(Placement, at_the_top_motion_on_the_bottom_row_collapses_and_motion_over_the_strip_expands)
{
    move_to_top();
    move_over_bar(400, 0);
    move_over_bar(400, 22);
    move_over_bar(400, 23);
    ASSERT_TRUE(wait_until([&] { return collapsed_top(); }));
    move_pointer(dpy, 420, 1);
    EXPECT_TRUE(wait_until([&] { return expanded_top(); }));
}

TEST_F(Placement, the_edge_does_not_switch_while_collapsed_and_collapsing_keeps_the_edge)
{
    move_to_top();
    move_over_bar(screen_width - 1, 1);
    click(dpy);
    ASSERT_TRUE(wait_until([&] { return collapsed_top(); }));
    click(dpy);
    EXPECT_TRUE(wait_until([&] { return expanded_top(); }));
}

TEST_F(Placement, panel_lite_never_moves_on_its_own)
{
    // Away from the bar, a polling bar would have collapsed within a second or two.
    EXPECT_FALSE(wait_until([&] { return !expanded_bottom(); }, 2500ms));
    move_over_bar(400, 0);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    move_pointer(dpy, 400, screen_height / 2);
    EXPECT_FALSE(wait_until([&] { return !collapsed_bottom(); }, 2500ms));
}
