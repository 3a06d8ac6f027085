// Choosing and sampling an image of _NET_WM_ICON, without a server.
#include <gtest/gtest.h>

#include "net_icon.hpp"

#include <vector>

namespace {

// Appends a size x size image whose pixel (x, y) encodes its own position
// and the image's size, so a test can tell which source pixel was taken.
void add_image(std::vector<long>& items, long width, long height)
{
    items.push_back(width);
    items.push_back(height);
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x)
            items.push_back(static_cast<long>(0xFF000000UL | (width << 16) | (y << 8) | x));
}

long width_of(std::uint32_t argb) { return (argb >> 16) & 0xFF; }

}  // namespace

TEST(NetWmIcon, picks_the_image_nearest_to_sixteen_at_or_above_it)
{
    std::vector<long> items;
    add_image(items, 8, 8);
    add_image(items, 48, 48);
    add_image(items, 32, 32);
    add_image(items, 12, 12);
    auto image = choose_net_wm_icon(items.data(), items.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(width_of((*image)[0]), 32);
}

TEST(NetWmIcon, takes_the_largest_when_all_are_smaller_than_sixteen)
{
    std::vector<long> items;
    add_image(items, 8, 8);
    add_image(items, 12, 12);
    add_image(items, 10, 10);
    auto image = choose_net_wm_icon(items.data(), items.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(width_of((*image)[0]), 12);
}

TEST(NetWmIcon, samples_the_nearest_source_pixel)
{
    for (long side : {16L, 32L, 48L, 8L, 20L}) {
        std::vector<long> items;
        add_image(items, side, side);
        auto image = choose_net_wm_icon(items.data(), items.size());
        ASSERT_TRUE(image) << side;
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ((*image)[x] & 0xFF, static_cast<std::uint32_t>(x * side / 16)) << side;
            EXPECT_EQ(((*image)[x * 16] >> 8) & 0xFF, static_cast<std::uint32_t>(x * side / 16));
        }
    }
}

TEST(NetWmIcon, malformed_data_counts_as_no_icon)
{
    std::vector<long> overrun{16, 16, 1, 2, 3};
    EXPECT_FALSE(choose_net_wm_icon(overrun.data(), overrun.size()));
    std::vector<long> zero{0, 16};
    EXPECT_FALSE(choose_net_wm_icon(zero.data(), zero.size()));
    std::vector<long> huge{0xFFFFFFFFL, 0xFFFFFFFFL, 0};
    EXPECT_FALSE(choose_net_wm_icon(huge.data(), huge.size()));
    std::vector<long> lone_width{16};
    EXPECT_FALSE(choose_net_wm_icon(lone_width.data(), lone_width.size()));
    EXPECT_FALSE(choose_net_wm_icon(nullptr, 0));
    std::vector<long> good_then_truncated;
    add_image(good_then_truncated, 16, 16);
    good_then_truncated.push_back(32);
    EXPECT_FALSE(choose_net_wm_icon(good_then_truncated.data(), good_then_truncated.size()));
}

TEST(NetWmIcon, mask_is_opaque_where_alpha_is_at_least_half)
{
    IconImage image{};
    image[0] = 0x80FFFFFF;   // exactly half: opaque
    image[1] = 0x7FFFFFFF;   // just below: transparent
    image[17] = 0xFF000000;  // row 1, column 1
    auto bits = icon_alpha_mask(image);
    EXPECT_EQ(bits[0], 0x01);
    EXPECT_EQ(bits[2], 0x02);  // row 1 starts at byte 2
    int set = 0;
    for (unsigned char byte : bits)
        set += __builtin_popcount(byte);
    EXPECT_EQ(set, 2);
}
