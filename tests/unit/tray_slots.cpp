// Where tray icons go, how many fit, and what the client buttons keep.
#include "geometry.hpp"

#include <gtest/gtest.h>

namespace {

constexpr int S = 1024;

TEST(TraySlots, icons_fill_slots_from_the_clock_leftwards_and_presses_there_do_nothing)
{
    EXPECT_EQ(tray_icon_left(S, 0), S - 61);
    EXPECT_EQ(tray_icon_left(S, 1), S - 81);
    EXPECT_EQ(tray_left(S, 3), S - 103);
    for (int x : {S - 104, S - 103, S - 44, S - 43})
        EXPECT_EQ(press_action(x, 10, S, S - 43, false, false, 3),
                  x == S - 104 || x == S - 43 ? PressAction::ClientButtons : PressAction::Tray) << x;
    EXPECT_EQ(press_action(S - 90, 22, S, S - 43, false, false, 3), PressAction::Collapse);
    EXPECT_EQ(press_action(S - 90, 10, S, S - 43, false, false, 0), PressAction::ClientButtons);
}

TEST(TraySlots, never_more_icons_than_leave_half_the_client_room)
{
    // Room without a tray: S - P - 91; k icons take 20k of it.
    for (auto [width, pager, capacity] : {std::tuple{1024, 0, 23}, {1024, 96, 20}, {400, 0, 7},
                                          {170, 0, 1}, {130, 0, 0}, {80, 0, 0}})
        EXPECT_EQ(tray_capacity(width, pager), capacity) << width << "/" << pager;
    // 837 - 60 = 777 for 7 clients: 111 each, the last slot ending 3 columns into the tray.
    const ClientLayout l = layout_client_buttons(S, 96, 7, 3);
    EXPECT_EQ(l.step, 111);
    EXPECT_EQ(l.first_left + 7 * l.step - 1, tray_left(S, 3) + 3);
}

}  // namespace
