// The switcher's label cuts and click rows, without a server.
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
    const std::size_t length =
        format_label(name ? std::optional<std::string_view>(*name) : std::nullopt, state,
                     buffer, sizeof buffer);
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

TEST(SwitcherLabel, names_are_cut_to_79_bytes_ending_in_dots)
{
    EXPECT_EQ(label(name_of(79), NORMAL_STATE), name_of(79));
    EXPECT_EQ(label(name_of(80), NORMAL_STATE), name_of(76) + "...");
    EXPECT_EQ(label(name_of(5000), NORMAL_STATE), name_of(76) + "...");
    EXPECT_EQ(label(name_of(77), ICONIC), "(" + name_of(77) + ")");
    EXPECT_EQ(label(name_of(78), ICONIC), "(" + name_of(74) + "...)");
    EXPECT_EQ(label("", 0), "()");
    EXPECT_EQ(label(std::nullopt, ICONIC), "unknown");
}

TEST(SwitcherLabel, cuts_count_bytes_even_inside_a_character)
{
    std::string wide;  // 40 two-byte characters
    for (int i = 0; i < 40; ++i)
        wide += "\xc3\xa9";
    EXPECT_EQ(label(wide, NORMAL_STATE), wide.substr(0, 76) + "...");
    EXPECT_EQ(label(wide.substr(0, 78), ICONIC), "(" + wide.substr(0, 74) + "...)");
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
}

TEST(SwitcherRow, every_12_pixels_a_row_with_the_top_5_in_row_1)
{
    EXPECT_EQ(row_at(-7), 0);
    for (int y = -6; y <= 16; ++y)
        EXPECT_EQ(row_at(y), 1) << "y " << y;
    for (int k = 2; k <= 199; ++k) {
        EXPECT_EQ(row_at(12 * k - 7), k);
        EXPECT_EQ(row_at(12 * k + 4), k);
    }
    EXPECT_LT(row_at(-2147483647 - 1), 0);
    EXPECT_GT(row_at(2147483647), ENTRY_SLOTS);
}

TEST(SwitcherRow, inside_the_fitted_pop_up_every_row_is_listed_and_the_border_is_not)
{
    for (int count = 1; count < ENTRY_SLOTS; ++count) {
        const int inside = static_cast<int>(popup_size(count, 10).height);
        for (int y = 0; y < inside; ++y)
            ASSERT_TRUE(row_is_listed(row_at(y), count)) << count << " lines, y " << y;
        EXPECT_FALSE(row_is_listed(row_at(inside), count));
    }
    EXPECT_FALSE(row_is_listed(1, 0));
    EXPECT_FALSE(row_is_listed(0, 5));
    EXPECT_FALSE(row_is_listed(ENTRY_SLOTS, 100000));
}

}  // namespace

namespace {

std::string utf8_label(const std::string& name, long state)
{
    Label label;
    label.utf8 = true;
    label.length = format_label(name, state, label.text, LABEL_SIZE, true);
    EXPECT_EQ(std::strlen(label.text), label.length);
    return std::string(label.view());
}

TEST(SwitcherLabel, utf8_names_are_cut_to_whole_characters_and_measured_in_them)
{
    const std::string cyrillic = "\xD0\x9F";  // two bytes
    const std::string dash = "\xE2\x80\x94";  // three bytes
    std::string name = "x";                   // 1 + 2k bytes: 77th byte inside a character
    while (name.size() < 90)
        name += cyrillic;
    EXPECT_EQ(utf8_label(name, NORMAL_STATE), name.substr(0, 75) + "...");
    EXPECT_EQ(utf8_label(name, ICONIC), "(" + name.substr(0, 73) + "...)");
    std::string dashes;
    for (int i = 0; i < 26; ++i)
        dashes += dash;  // 78 bytes
    EXPECT_EQ(utf8_label(dashes, NORMAL_STATE), dashes);
    EXPECT_EQ(utf8_label(dashes + "a", ICONIC), "(" + dashes.substr(0, 72) + "...)");

    Label label;
    label.utf8 = true;
    label.length = format_label("Caf\xC3\xA9 " + dash + " na\xC3\xAFve " + cyrillic, NORMAL_STATE,
                                label.text, LABEL_SIZE, true);
    EXPECT_EQ(label_characters(label), 14u);
    label.utf8 = false;
    EXPECT_EQ(label_characters(label), label.length);
}

}  // namespace
