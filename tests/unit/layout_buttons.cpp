// Where the desktop strip and the client buttons go, without a server.
#include <gtest/gtest.h>

#include "geometry.hpp"

#include <cstdint>

namespace {

// ---- Desktop strip ----------------------------------------------------------

TEST(DesktopStrip, a_single_desktop_or_none_gets_no_buttons)
{
    EXPECT_EQ(desktop_buttons_shown(0, 1024), 0);
    EXPECT_EQ(desktop_buttons_shown(1, 1024), 0);
}

TEST(DesktopStrip, every_desktop_gets_a_button_while_they_fit)
{
    EXPECT_EQ(desktop_buttons_shown(2, 1024), 2);
    EXPECT_EQ(desktop_buttons_shown(4, 1024), 4);
    EXPECT_EQ(desktop_buttons_shown(10, 1024), 10);
}

TEST(DesktopStrip, a_huge_count_shows_only_what_ends_before_the_clock)
{
    // 38 buttons: strip to 961, closing groove 964-965, clock groove at 981.
    EXPECT_EQ(desktop_buttons_shown(38, 1024), 38);
    EXPECT_EQ(desktop_buttons_shown(39, 1024), 38);
    EXPECT_EQ(desktop_buttons_shown(0xFFFFFFFFu, 1024), 38);
    EXPECT_EQ(desktop_buttons_shown(0x80000000u, 1024), 38);
    for (int width : {200, 640, 1024, 1025, 1920, 4096}) {
        const int shown = desktop_buttons_shown(0xFFFFFFFFu, width);
        const int closing_groove_end = 24 * shown + 52 + 1;
        EXPECT_LT(closing_groove_end, width - 43) << width;
        EXPECT_GE(closing_groove_end + 24, width - 43) << width;  // one more would not fit
    }
}

TEST(DesktopStrip, a_bar_too_narrow_for_one_button_shows_none)
{
    EXPECT_EQ(desktop_buttons_shown(4, 120), 0);
    EXPECT_EQ(desktop_buttons_shown(4, 0), 0);
    EXPECT_EQ(desktop_buttons_shown(4, -5), 0);
}

// ---- Client buttons -----------------------------------------------------------

TEST(ClientLayout, three_clients_beside_four_desktops_are_capped_at_145)
{
    const ClientLayout layout = layout_client_buttons(1024, 96, 3);  // room 837, step 279
    EXPECT_EQ(layout.first_left, 148);
    EXPECT_EQ(layout.step, 145);
    EXPECT_EQ(layout.shown, 3);
    EXPECT_TRUE(layout.rest);
    EXPECT_EQ(layout.rest_left, 583);
}

TEST(ClientLayout, ten_clients_share_the_room_without_a_rest)
{
    const ClientLayout layout = layout_client_buttons(1024, 96, 10);
    EXPECT_EQ(layout.step, 83);
    EXPECT_EQ(layout.shown, 10);
    EXPECT_FALSE(layout.rest);
    EXPECT_EQ(layout.rest_left, 148 + 830);
}

TEST(ClientLayout, no_clients_leaves_only_the_rest)
{
    const ClientLayout layout = layout_client_buttons(1024, 96, 0);
    EXPECT_EQ(layout.shown, 0);
    EXPECT_TRUE(layout.rest);
    EXPECT_EQ(layout.rest_left, 148);
    EXPECT_EQ(layout_client_buttons(1024, 0, 0).rest_left, 52);
}

TEST(ClientLayout, a_step_of_exactly_145_is_not_capped_but_146_is)
{
    // room = S - 91 without desktops: 3 * 145 = 435, 3 * 146 = 438.
    const ClientLayout exact = layout_client_buttons(435 + 91, 0, 3);
    EXPECT_EQ(exact.step, 145);
    EXPECT_FALSE(exact.rest);

    const ClientLayout wider = layout_client_buttons(438 + 91, 0, 3);
    EXPECT_EQ(wider.step, 145);
    EXPECT_TRUE(wider.rest);
    EXPECT_EQ(wider.rest_left, 52 + 435);
}

TEST(ClientLayout, a_step_of_one_still_gives_every_record_a_slot)
{
    const ClientLayout layout = layout_client_buttons(1024, 0, 933);  // room 933
    EXPECT_EQ(layout.step, 1);
    EXPECT_EQ(layout.shown, 933);
    EXPECT_FALSE(layout.rest);
}

TEST(ClientLayout, more_records_than_pixels_keep_usable_buttons_inside_the_client_area)
{
    for (int count : {934, 1000, 100000, 0x7FFFFFFF}) {
        const ClientLayout layout = layout_client_buttons(1024, 0, count);
        EXPECT_EQ(layout.step, OVERFLOW_BUTTON_STEP) << count;
        EXPECT_EQ(layout.shown, 933 / OVERFLOW_BUTTON_STEP) << count;
        EXPECT_TRUE(layout.rest) << count;
        // The last slot ends before the clock's groove at S - 43.
        EXPECT_LE(layout.rest_left, 1024 - 43) << count;
        EXPECT_GT(layout.rest_left + OVERFLOW_BUTTON_STEP, 52 + 933) << count;
    }
}

TEST(ClientLayout, a_strip_that_fills_the_bar_leaves_a_sane_client_area)
{
    const int pager = 24 * desktop_buttons_shown(0xFFFFFFFFu, 1024);
    for (int count : {1, 2, 5, 1000}) {
        const ClientLayout layout = layout_client_buttons(1024, pager, count);
        EXPECT_GE(layout.step, 1) << count;
        EXPECT_GE(layout.shown, 0) << count;
        EXPECT_LE(layout.shown, count) << count;
        EXPECT_GE(layout.rest_left, pager + 52) << count;
        EXPECT_LE(layout.rest_left, 1024 - 39) << count;
    }
}

TEST(ClientLayout, no_room_at_all_shows_no_buttons)
{
    const ClientLayout layout = layout_client_buttons(80, 0, 3);  // room -11
    EXPECT_EQ(layout.shown, 0);
    EXPECT_TRUE(layout.rest);
    EXPECT_EQ(layout.rest_left, 52);
}

TEST(ClientLayout, slots_never_reach_past_the_clock_overlap)
{
    // The last slot ends at S - 39 at the most, for any count and strip.
    for (int width : {300, 1024, 1366}) {
        for (std::uint32_t desktops : {0u, 2u, 4u, 10u, 0xFFFFFFFFu}) {
            const int pager = 24 * desktop_buttons_shown(desktops, width);
            for (int count = 1; count < 2000; count += 7) {
                const ClientLayout l = layout_client_buttons(width, pager, count);
                ASSERT_GE(l.step, 1);
                ASSERT_LE(l.first_left + l.shown * l.step, width - 39)
                    << width << " " << desktops << " " << count;
            }
        }
    }
}

}  // namespace
