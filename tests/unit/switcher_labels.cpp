// The switcher's labels, click rows and pop-up size, without a server.
#include "labels.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr long ICONIC = 3;

// The label as the switcher builds it, checked to be terminated and measured right.
std::string label(std::optional<std::string> name, long state)
{
    char buffer[LABEL_SIZE];
    std::memset(buffer, 'X', sizeof buffer);
    std::optional<std::string_view> view;
    if (name)
        view = *name;
    const std::size_t length = format_label(view, state, buffer, sizeof buffer);
    EXPECT_LT(length, LABEL_SIZE);
    EXPECT_EQ(std::strlen(buffer), length);
    return std::string(buffer, length);
}

// n bytes that differ along the name, so a wrong cut shows.
std::string name_of(std::size_t n)
{
    std::string name;
    for (std::size_t i = 0; i < n; ++i)
        name += static_cast<char>('a' + i % 26);
    return name;
}

TEST(SwitcherLabel, normal_window_shows_its_name_up_to_79_bytes)
{
    EXPECT_EQ(label("xterm", NORMAL_STATE), "xterm");
    EXPECT_EQ(label("", NORMAL_STATE), "");
    EXPECT_EQ(label(name_of(79), NORMAL_STATE), name_of(79));
}

TEST(SwitcherLabel, normal_window_with_80_bytes_or_more_shows_76_and_dots)
{
    EXPECT_EQ(label(name_of(80), NORMAL_STATE), name_of(76) + "...");
    EXPECT_EQ(label(name_of(5000), NORMAL_STATE), name_of(76) + "...");
}

TEST(SwitcherLabel, iconic_window_shows_its_name_in_parentheses_up_to_77_bytes)
{
    EXPECT_EQ(label("mail", ICONIC), "(mail)");
    EXPECT_EQ(label(name_of(77), ICONIC), "(" + name_of(77) + ")");
    EXPECT_EQ(label(name_of(77), ICONIC).size(), 79u);
}

TEST(SwitcherLabel, iconic_window_with_78_bytes_or_more_shows_74_and_dots_in_parentheses)
{
    EXPECT_EQ(label(name_of(78), ICONIC), "(" + name_of(74) + "...)");
    EXPECT_EQ(label(name_of(1000), ICONIC), "(" + name_of(74) + "...)");
}

TEST(SwitcherLabel, any_state_but_normal_takes_parentheses)
{
    for (long state : {0L, 2L, 4L, -1L, 0x7fffffffL})
        EXPECT_EQ(label("edit", state), "(edit)") << "state " << state;
}

TEST(SwitcherLabel, nameless_window_is_unknown_in_any_state)
{
    EXPECT_EQ(label(std::nullopt, NORMAL_STATE), "unknown");
    EXPECT_EQ(label(std::nullopt, ICONIC), "unknown");
    EXPECT_EQ(label(std::nullopt, 0), "unknown");
}

TEST(SwitcherLabel, cuts_count_bytes_even_inside_a_character)
{
    // 40 two-byte characters: 80 bytes, cut after byte 76 (38 whole characters).
    std::string wide;
    for (int i = 0; i < 40; ++i)
        wide += "\xc3\xa9";
    EXPECT_EQ(label(wide, NORMAL_STATE), wide.substr(0, 76) + "...");
    // 39 of them in parentheses: 78 bytes, cut after byte 74.
    const std::string iconic = wide.substr(0, 78);
    EXPECT_EQ(label(iconic, ICONIC), "(" + iconic.substr(0, 74) + "...)");
}

TEST(SwitcherLabel, small_buffers_stay_terminated)
{
    for (std::size_t size = 1; size <= 12; ++size) {
        std::string buffer(size + 1, 'X');
        const std::size_t length = format_label(name_of(30), ICONIC, buffer.data(), size);
        EXPECT_LT(length, size);
        EXPECT_EQ(buffer[length], '\0');
        EXPECT_EQ(buffer[size], 'X') << "wrote past a buffer of " << size;
    }
    char untouched = 'X';
    EXPECT_EQ(format_label("name", NORMAL_STATE, &untouched, 0), 0u);
    EXPECT_EQ(untouched, 'X');
}

TEST(SwitcherLabel, only_the_exact_popup_title_is_left_out)
{
    EXPECT_TRUE(is_popup_label("vokSwitch"));
    EXPECT_FALSE(is_popup_label("vokSwitch2"));
    EXPECT_FALSE(is_popup_label("vokSwitc"));
    EXPECT_FALSE(is_popup_label("(vokSwitch)"));
    EXPECT_FALSE(is_popup_label("vokswitch"));
    EXPECT_FALSE(is_popup_label(""));
}

TEST(SwitcherRow, top_edge_to_y_16_is_row_1_then_every_12_pixels_a_row)
{
    for (int y = -6; y <= 16; ++y)
        EXPECT_EQ(row_at(y), 1) << "y " << y;
    EXPECT_EQ(row_at(17), 2);
    EXPECT_EQ(row_at(28), 2);
    EXPECT_EQ(row_at(29), 3);
    for (int k = 2; k <= 199; ++k) {
        EXPECT_EQ(row_at(12 * k - 7), k);
        EXPECT_EQ(row_at(12 * k + 4), k);
    }
}

TEST(SwitcherRow, pointer_far_outside_gives_rows_off_the_list)
{
    EXPECT_EQ(row_at(-7), 0);
    EXPECT_EQ(row_at(-18), 0);
    EXPECT_EQ(row_at(-19), -1);
    EXPECT_LT(row_at(-2147483647 - 1), 0);
    EXPECT_GT(row_at(2147483647), ENTRY_SLOTS);
}

TEST(SwitcherRow, every_y_inside_a_resized_popup_is_a_listed_row)
{
    for (int count = 1; count < ENTRY_SLOTS; ++count) {
        const int inside = static_cast<int>(popup_size(count, 10).height);
        for (int y = 0; y < inside; ++y)
            ASSERT_TRUE(row_is_listed(row_at(y), count)) << count << " lines, y " << y;
        // The bottom border is the row after the last.
        EXPECT_FALSE(row_is_listed(row_at(inside), count));
    }
}

TEST(SwitcherRow, rows_off_the_current_list_are_not_listed)
{
    EXPECT_FALSE(row_is_listed(1, 0));
    EXPECT_FALSE(row_is_listed(0, 5));
    EXPECT_FALSE(row_is_listed(-3, 5));
    EXPECT_FALSE(row_is_listed(6, 5));
    EXPECT_TRUE(row_is_listed(199, 199));
    EXPECT_FALSE(row_is_listed(ENTRY_SLOTS, 100000));
}

TEST(SwitcherSize, popup_is_5_pixels_per_label_byte_and_12_per_line)
{
    EXPECT_EQ(popup_size(0, 10).width, 60u);
    EXPECT_EQ(popup_size(0, 10).height, 5u);
    EXPECT_EQ(popup_size(3, 20).width, 110u);
    EXPECT_EQ(popup_size(3, 20).height, 41u);
    EXPECT_EQ(popup_size(199, 79).width, 405u);
    EXPECT_EQ(popup_size(199, 79).height, 2393u);
}

TEST(SwitcherSize, popup_is_never_narrower_than_60)
{
    EXPECT_EQ(popup_size(2, 9).width, 60u);
    EXPECT_EQ(popup_size(2, 0).width, 60u);
}

}  // namespace
