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
