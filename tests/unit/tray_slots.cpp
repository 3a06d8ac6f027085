// Where tray icons go, how many fit, and what the client buttons keep.
#include "geometry.hpp"

#include <gtest/gtest.h>

namespace {

constexpr int S = 1024;

TEST(TraySlots, icons_fill_slots_from_the_clock_leftwards)
{
    EXPECT_EQ(tray_icon_left(S, 0), S - 61);
    EXPECT_EQ(tray_icon_left(S, 1), S - 81);
    EXPECT_EQ(tray_left(S, 1), S - 63);  // the groove opens slot 0
    EXPECT_EQ(tray_left(S, 3), S - 103);
    for (int x : {S - 103, S - 80, S - 44})
        EXPECT_TRUE(in_tray(x, S, 3)) << x;
    for (int x : {S - 104, S - 43})
        EXPECT_FALSE(in_tray(x, S, 3)) << x;
    EXPECT_FALSE(in_tray(S - 50, S, 0));
}

TEST(TraySlots, never_more_icons_than_leave_half_the_client_room)
{
    struct Case {
        int width, pager, capacity;
    };
    // Room without a tray: S - P - 91; k icons take 20k of it.
    for (const Case& c : {Case{1024, 0, 23}, Case{1024, 96, 20}, Case{400, 0, 7}, Case{170, 0, 1},
                          Case{130, 0, 0}, Case{80, 0, 0}}) {
        const int k = tray_capacity(c.width, c.pager);
        EXPECT_EQ(k, c.capacity) << c.width << "/" << c.pager;
        const int room = c.width - c.pager - 91;
        if (room <= 0)
            continue;
        EXPECT_GE(2 * (room - 20 * k), room) << c.width;
        EXPECT_LT(2 * (room - 20 * (k + 1)), room) << c.width;
    }
}

TEST(TraySlots, client_buttons_share_what_the_tray_leaves_and_presses_on_it_do_nothing)
{
    // 837 - 60 = 777 for 7 clients: 111 each, the last slot ending 3 columns into the tray.
    const ClientLayout l = layout_client_buttons(S, 96, 7, 3);
    EXPECT_EQ(l.step, 111);
    EXPECT_EQ(l.first_left + 7 * l.step - 1, tray_left(S, 3) + 3);
    EXPECT_EQ(layout_client_buttons(S, 96, 3, 3).rest_left, 148 + 3 * 145);

    EXPECT_EQ(press_action(S - 90, 10, S, S - 43, false, false, 3), PressAction::Tray);
    EXPECT_EQ(press_action(S - 90, 22, S, S - 43, false, false, 3), PressAction::Collapse);
    EXPECT_EQ(press_action(S - 90, 10, S, S - 43, false, false, 0), PressAction::ClientButtons);
    EXPECT_EQ(press_action(S - 43, 10, S, S - 43, false, false, 3), PressAction::ClientButtons);
}

}  // namespace
