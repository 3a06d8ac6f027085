// How long the event loop sleeps before the clock's next full minute.
#include "geometry.hpp"

#include <gtest/gtest.h>

TEST(MinuteTimeout, ends_at_the_next_full_minute)
{
    EXPECT_EQ(seconds_to_next_minute(0), 60);
    EXPECT_EQ(seconds_to_next_minute(30), 30);
    EXPECT_EQ(seconds_to_next_minute(59), 1);
}

TEST(MinuteTimeout, a_leap_second_wakes_at_once)
{
    EXPECT_EQ(seconds_to_next_minute(60), 0);
}

TEST(ClockDeadline, is_the_next_full_minute)
{
    // 1000 s after the epoch is 00:16:40.
    EXPECT_EQ(next_clock_deadline(1000, 40, 0), 1020);
    EXPECT_EQ(next_clock_deadline(1019, 59, 960), 1020);
    // Just repainted at the full minute: the following one.
    EXPECT_EQ(next_clock_deadline(1020, 0, 1020), 1080);
}

TEST(ClockDeadline, a_leap_second_repaints_once_then_waits_for_the_next_second)
{
    // During 23:59:60 the time-out is 0; once that second has been served
    // the deadline moves on instead of repainting in a spin.
    EXPECT_EQ(next_clock_deadline(5000, 60, 0), 5000);
    EXPECT_EQ(next_clock_deadline(5000, 60, 5000), 5001);
}
