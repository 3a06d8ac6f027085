// The bar's text baseline and its four placements, as plain numbers.
#include "geometry.hpp"

#include <gtest/gtest.h>

TEST(Baseline, centres_the_ascent_in_the_bar_rounding_toward_zero)
{
    EXPECT_EQ(baseline_for_ascent(11), 17);
    EXPECT_EQ(baseline_for_ascent(12), 18);
    EXPECT_EQ(baseline_for_ascent(13), 18);
    EXPECT_EQ(baseline_for_ascent(24), 24);
    // (24 - 27) / 2 is -1, not -2: a tall font sits at 26.
    EXPECT_EQ(baseline_for_ascent(27), 26);
}

TEST(Placement, expanded_and_collapsed_bar_at_either_edge)
{
    const Placement bottom = panel_placement(768, false, false);
    EXPECT_EQ(bottom.y, 744);
    EXPECT_EQ(bottom.height, 24);

    const Placement top = panel_placement(768, false, true);
    EXPECT_EQ(top.y, 0);
    EXPECT_EQ(top.height, 24);

    const Placement collapsed_bottom = panel_placement(768, true, false);
    EXPECT_EQ(collapsed_bottom.y, 766);
    EXPECT_EQ(collapsed_bottom.height, 2);

    const Placement collapsed_top = panel_placement(768, true, true);
    EXPECT_EQ(collapsed_top.y, 0);
    EXPECT_EQ(collapsed_top.height, 2);
}
