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

TEST(IconSampling, larger_icons_skip_columns_and_smaller_ones_repeat_them)
{
    EXPECT_EQ(sampled_columns(32),
              (std::vector<int>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30}));
    EXPECT_EQ(sampled_columns(48),
              (std::vector<int>{0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42, 45}));
    EXPECT_EQ(sampled_columns(20),
              (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16, 17, 18}));
    EXPECT_EQ(sampled_columns(8),
              (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7}));
    EXPECT_EQ(sampled_columns(1), std::vector<int>(16, 0));
}

TEST(IconSampling, the_largest_picture_the_server_allows_stays_inside_it)
{
    EXPECT_EQ(icon_source_index(15, 65535), 61439);
}

}  // namespace
