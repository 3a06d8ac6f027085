// Which source pixels a 16 by 16 icon shows of a larger or smaller picture.
#include "geometry.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> sampled_columns(int source_size)
{
    std::vector<int> columns;
    for (int x = 0; x < 16; ++x)
        columns.push_back(icon_source_index(x, source_size));
    return columns;
}

TEST(IconSampling, a_32_pixel_icon_shows_every_second_column)
{
    EXPECT_EQ(sampled_columns(32),
              (std::vector<int>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30}));
}

TEST(IconSampling, a_48_pixel_icon_shows_every_third_column)
{
    EXPECT_EQ(sampled_columns(48),
              (std::vector<int>{0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42, 45}));
}

TEST(IconSampling, an_8_pixel_icon_shows_each_column_twice)
{
    EXPECT_EQ(sampled_columns(8),
              (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7}));
}

TEST(IconSampling, a_20_pixel_icon_skips_every_fifth_column)
{
    EXPECT_EQ(sampled_columns(20),
              (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16, 17, 18}));
}

TEST(IconSampling, a_16_pixel_icon_is_copied_as_it_is_and_a_1_pixel_one_repeated)
{
    EXPECT_EQ(sampled_columns(16),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(sampled_columns(1), std::vector<int>(16, 0));
}

TEST(IconSampling, the_largest_picture_the_server_allows_stays_inside_it)
{
    EXPECT_EQ(icon_source_index(15, 65535), 61439);
    EXPECT_LT(icon_source_index(15, 65535), 65535);
}

}  // namespace
