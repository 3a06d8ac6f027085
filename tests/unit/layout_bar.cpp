// Where the desktop strip and the client buttons go, and how much of a
// title fits, without a server.
#include <gtest/gtest.h>

#include "geometry.hpp"

#include <random>
#include <string>

namespace {

TEST(DesktopStrip, shows_every_desktop_that_fits_left_of_the_clock)
{
    EXPECT_EQ(desktop_buttons_shown(0, 1024), 0);
    EXPECT_EQ(desktop_buttons_shown(1, 1024), 0);
    EXPECT_EQ(desktop_buttons_shown(4, 1024), 4);
    EXPECT_EQ(desktop_buttons_shown(10, 1024), 10);
    // 38 buttons: the closing groove ends at 965, the clock's starts at 981.
    EXPECT_EQ(desktop_buttons_shown(38, 1024), 38);
    EXPECT_EQ(desktop_buttons_shown(39, 1024), 38);
    EXPECT_EQ(desktop_buttons_shown(0xFFFFFFFFu, 1024), 38);
    EXPECT_EQ(desktop_buttons_shown(4, 120), 0);
    EXPECT_EQ(desktop_buttons_shown(4, -5), 0);
}

struct Slots {
    int first_left, step, shown;
    bool rest;
    int rest_left;
};

void expect_layout(int width, int pager, int count, Slots expected)
{
    const ClientLayout l = layout_client_buttons(width, pager, count);
    EXPECT_EQ(l.first_left, expected.first_left) << width << "/" << pager << "/" << count;
    EXPECT_EQ(l.step, expected.step) << width << "/" << pager << "/" << count;
    EXPECT_EQ(l.shown, expected.shown) << width << "/" << pager << "/" << count;
    EXPECT_EQ(l.rest, expected.rest) << width << "/" << pager << "/" << count;
    EXPECT_EQ(l.rest_left, expected.rest_left) << width << "/" << pager << "/" << count;
}

TEST(ClientLayout, slots_share_the_room_up_to_145_pixels)
{
    expect_layout(1024, 96, 3, {148, 145, 3, true, 583});     // 279 capped
    expect_layout(1024, 96, 10, {148, 83, 10, false, 978});   // no rest
    expect_layout(1024, 96, 0, {148, 0, 0, true, 148});       // only the rest
    expect_layout(435 + 91, 0, 3, {52, 145, 3, false, 487});  // exactly 145: no rest
    expect_layout(438 + 91, 0, 3, {52, 145, 3, true, 487});   // 146 cut, with a rest
    expect_layout(1024, 0, 933, {52, 1, 933, false, 985});    // one pixel each
}

TEST(ClientLayout, more_records_than_pixels_keep_the_first_that_fit_at_a_usable_width)
{
    for (int count : {934, 100000, 0x7FFFFFFF})
        expect_layout(1024, 0, count, {52, OVERFLOW_BUTTON_STEP, 38, true, 52 + 38 * 24});
    expect_layout(80, 0, 3, {52, OVERFLOW_BUTTON_STEP, 0, true, 52});  // no room at all
}

TEST(ClientLayout, slots_end_before_the_clock_whatever_the_strip)
{
    for (int width : {300, 1024, 1366})
        for (std::uint32_t desktops : {0u, 4u, 10u, 0xFFFFFFFFu}) {
            const int pager = 24 * desktop_buttons_shown(desktops, width);
            for (int count = 1; count < 2000; count += 7) {
                const ClientLayout l = layout_client_buttons(width, pager, count);
                ASSERT_GE(l.step, 1);
                ASSERT_LE(l.first_left + l.shown * l.step, width - 39) << width << " " << count;
            }
        }
}

// The cut done the slow way: measure the remaining prefix after each byte
// taken off the end, width tested first.
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

TEST(TitleCut, keeps_the_longest_prefix_narrower_than_the_room)
{
    CharWidths six;
    six.fill(6);
    const std::string title(40, 'x');
    EXPECT_EQ(title_fit_length(title, six, 122), 20u);  // 120 < 122
    EXPECT_EQ(title_fit_length(title, six, 120), 19u);  // 120 is not narrower
    EXPECT_EQ(title_fit_length(title, six, 1), 0u);
    EXPECT_EQ(title_fit_length(title, six, -30), 0u);
    EXPECT_EQ(title_fit_length(std::string(1 << 20, 'm'), six, 122), 20u);
}

TEST(TitleCut, matches_the_byte_by_byte_cut_on_random_titles_and_fonts)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte_value(0, 255);
    for (int font = 0; font < 40; ++font) {
        // Missing glyphs (width 0) and, in some fonts, negative widths.
        CharWidths widths;
        std::uniform_int_distribution<int> glyph(font % 4 == 3 ? -3 : 0, 1 + font % 13);
        for (int& w : widths)
            w = glyph(random);
        for (int sample = 0; sample < 250; ++sample) {
            std::string title(random() % (sample % 10 == 0 ? 400 : 40), '\0');
            for (char& c : title)
                c = static_cast<char>(byte_value(random));
            const int max_width = std::uniform_int_distribution<int>(-30, 300)(random);
            ASSERT_EQ(title_fit_length(title, widths, max_width),
                      cut_by_shrinking(title, widths, max_width))
                << "font " << font << " sample " << sample;
        }
    }
}

}  // namespace
