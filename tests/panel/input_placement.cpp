// Collapsing, expanding and moving panel-lite's bar by presses and motion.
// A pointer moved onto the strip expands it by motion before any press
// arrives, so presses on the strip are made where the pointer already rests.
#include "input_running_panel.hpp"

namespace {

class Placement : public RunningPanel {
protected:
    void SetUp() override
    {
        RunningPanel::SetUp();
        if (HasFatalFailure())
            return;
        move_pointer(dpy, screen_width / 2, screen_height / 2);
        start("panel-lite");
    }
    // Collapses by a press at (x, y), then expands by a press on the strip.
    void collapse_and_expand(int x, int y, const std::function<bool()>& collapsed,
                             const std::function<bool()>& expanded)
    {
        click_bar(x, y);
        ASSERT_TRUE(wait_until(collapsed)) << "x " << x << " y " << y;
        click(dpy);
        ASSERT_TRUE(wait_until(expanded)) << "x " << x << " y " << y;
    }
};

}  // namespace

TEST_F(Placement, the_collapse_band_collapses_even_over_clock_start_and_edge_and_launches_nothing)
{
    click_bar(300, 21);  // above the band
    const auto bottom_collapsed = [&] { return collapsed_bottom(); };
    const auto bottom_expanded = [&] { return expanded_bottom(); };
    for (int x : {300, screen_width - 20, 10, screen_width - 1})
        collapse_and_expand(x, 22, bottom_collapsed, bottom_expanded);
    click_bar(10, 12);
    ASSERT_TRUE(wait_until([&] { return launched("Start") == 1; }));
    EXPECT_EQ(launched(), 1);  // a launch by the presses before would have come first
}

TEST_F(Placement, at_the_bottom_motion_on_row_0_collapses_and_motion_over_the_strip_expands)
{
    for (int y : {5, 1, 23})
        move_over_bar(400, y);
    move_pointer(dpy, 400, screen_height / 2);  // leaving without touching row 0
    click_bar(10, 12);
    ASSERT_TRUE(wait_until([&] { return launched("Start") == 1; }));
    EXPECT_TRUE(expanded_bottom());

    move_over_bar(400, 0);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    move_pointer(dpy, 420, screen_height - 2);
    EXPECT_TRUE(wait_until([&] { return expanded_bottom(); }));
}

TEST_F(Placement, only_the_last_column_switches_the_edge_and_the_top_bar_collapses_on_its_own_rows)
{
    click_bar(screen_width - 2, 12);
    ASSERT_TRUE(wait_until([&] { return launched("xcalendar") == 1; }));
    click_bar(screen_width - 1, 12);
    ASSERT_TRUE(wait_until([&] { return expanded_top(); }));

    const auto top_collapsed = [&] { return collapsed_top(); };
    const auto top_expanded = [&] { return expanded_top(); };
    click_bar(300, 3);  // below the band
    collapse_and_expand(300, 1, top_collapsed, top_expanded);
    collapse_and_expand(screen_width - 1, 0, top_collapsed, top_expanded);  // keeps its edge
    click_bar(300, 2);
    ASSERT_TRUE(wait_until([&] { return collapsed_top(); }));

    move_pointer(dpy, 420, 1);
    ASSERT_TRUE(wait_until([&] { return expanded_top(); }));
    move_over_bar(400, 22);
    move_over_bar(400, 23);
    ASSERT_TRUE(wait_until([&] { return collapsed_top(); }));
    move_pointer(dpy, 420, 0);
    ASSERT_TRUE(wait_until([&] { return expanded_top(); }));
    click_bar(screen_width - 1, 12);
    EXPECT_TRUE(wait_until([&] { return expanded_bottom(); }));
}

TEST_F(Placement, panel_lite_never_moves_on_its_own)
{
    // Away from the bar, a polling bar would collapse within a second or two.
    EXPECT_FALSE(wait_until([&] { return !expanded_bottom(); }, 2500ms));
    move_over_bar(400, 0);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    move_pointer(dpy, 400, screen_height / 2);
    EXPECT_FALSE(wait_until([&] { return !collapsed_bottom(); }, 2500ms));
}
