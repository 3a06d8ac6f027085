// Cutting a title to its button, in one pass, as taking bytes off the end
// one at a time while the rest is too wide would.
#include <gtest/gtest.h>

#include "geometry.hpp"

#include <random>
#include <string>

namespace {

// The cut done the slow way: measure the whole remaining prefix after each
// byte taken off, width tested first.
std::size_t cut_by_shrinking(const std::string& title, const CharWidths& widths, int max_width)
{
    auto measure = [&](std::size_t n) {
        long long width = 0;
        for (std::size_t i = 0; i < n; ++i)
            width += widths[static_cast<unsigned char>(title[i])];
        return width;
    };
    std::size_t n = title.size();
    while (measure(n) >= max_width && n > 0)
        --n;
    return n;
}

CharWidths fixed_widths(int width)
{
    CharWidths widths;
    widths.fill(width);
    return widths;
}

TEST(TitleCut, a_title_that_fits_is_shown_whole)
{
    EXPECT_EQ(title_fit_length("Terminal", fixed_widths(6), 122), 8u);
    EXPECT_EQ(title_fit_length("", fixed_widths(6), 122), 0u);
}

TEST(TitleCut, the_shown_part_is_narrower_than_the_limit_not_equal_to_it)
{
    // 20 bytes of 6 pixels = 120 < 122; 21 bytes = 126.
    const std::string title(40, 'x');
    EXPECT_EQ(title_fit_length(title, fixed_widths(6), 122), 20u);
    EXPECT_EQ(title_fit_length(title, fixed_widths(6), 121), 20u);
    EXPECT_EQ(title_fit_length(title, fixed_widths(6), 120), 19u);
}

TEST(TitleCut, a_button_of_22_pixels_or_less_shows_no_title)
{
    EXPECT_EQ(title_fit_length("abc", fixed_widths(6), 0), 0u);
    EXPECT_EQ(title_fit_length("abc", fixed_widths(6), -30), 0u);
    EXPECT_EQ(title_fit_length("abc", fixed_widths(6), 1), 0u);
}

TEST(TitleCut, zero_width_bytes_after_the_cut_are_kept_as_the_slow_cut_keeps_them)
{
    CharWidths widths = fixed_widths(6);
    widths[0x01] = 0;
    const std::string title = std::string(3, 'a') + std::string(5, '\x01');
    EXPECT_EQ(title_fit_length(title, widths, 19), 8u);
    EXPECT_EQ(title_fit_length(title, widths, 18), 2u);
}

TEST(TitleCut, a_megabyte_title_is_cut_like_a_short_one)
{
    const std::string title(1 << 20, 'm');
    EXPECT_EQ(title_fit_length(title, fixed_widths(7), 122), 17u);
}

TEST(TitleCut, matches_the_slow_cut_on_random_titles_and_widths)
{
    std::mt19937 random(20240611);
    for (int font = 0; font < 40; ++font) {
        // Fonts with missing (zero-width) glyphs and, rarely, negative widths.
        CharWidths widths;
        std::uniform_int_distribution<int> glyph(font % 4 == 3 ? -3 : 0, 1 + font % 13);
        for (int& w : widths)
            w = glyph(random);
        for (int sample = 0; sample < 250; ++sample) {
            std::uniform_int_distribution<int> length(0, sample % 10 == 0 ? 400 : 40);
            std::uniform_int_distribution<int> byte_value(0, 255);
            std::string title(length(random), '\0');
            for (char& c : title)
                c = static_cast<char>(byte_value(random));
            const int max_width = std::uniform_int_distribution<int>(-30, 300)(random);
            ASSERT_EQ(title_fit_length(title, widths, max_width),
                      cut_by_shrinking(title, widths, max_width))
                << "font " << font << " sample " << sample << " limit " << max_width;
        }
    }
}

}  // namespace
