// UTF-8 as clients write it, the Unicode cut's name, and the title cut in a
// Unicode face, without a server.
// GoogleTest first: Xlib defines None and Bool as macros that break its headers.
#include <gtest/gtest.h>

#include "font_names.hpp"
#include "text.hpp"
#include "utf8.hpp"

#include <string>
#include <vector>

namespace {

const std::string FFFD = "\xEF\xBF\xBD";

TEST(Utf8, ill_formed_sequences_become_one_replacement_each_and_the_rest_stays)
{
    struct Case {
        std::string bytes, valid;
    };
    const Case cases[] = {
        {"Caf\xC3\xA9 \xE2\x80\x94 \xD0\x9F", "Caf\xC3\xA9 \xE2\x80\x94 \xD0\x9F"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},      // past the BMP
        {FFFD, FFFD},                                   // a real U+FFFD stays
        {"a\xFF" "b", "a" + FFFD + "b"},
        {"\xC0\x80", FFFD + FFFD},                      // overlong NUL
        {"\xE0\x80\xAF", FFFD + FFFD + FFFD},          // overlong, no well-formed start
        {"\xED\xA0\x80", FFFD + FFFD + FFFD},          // surrogate
        {"\xF4\x90\x80\x80", FFFD + FFFD + FFFD + FFFD},  // past U+10FFFF
        {"\xE2\x82", FFFD},                             // truncated at the end
        {"\xF0\x9F\x98" "x", FFFD + "x"},               // truncated inside
        {"\x80\x80", FFFD + FFFD},                      // stray continuations
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(valid_utf8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(is_valid_utf8(c.bytes), c.bytes == c.valid) << c.bytes;
        EXPECT_TRUE(is_valid_utf8(c.valid));
    }
}

TEST(Utf8, prefixes_counts_and_latin1_keep_whole_characters)
{
    const std::string text = "a\xC3\xA9\xE2\x80\x94\xF0\x9F\x98\x80";  // 1 + 2 + 3 + 4 bytes
    const std::size_t ends[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10};
    for (std::size_t max = 0; max <= text.size(); ++max)
        EXPECT_EQ(utf8_prefix_within(text, max), ends[max]) << max;
    EXPECT_EQ(utf8_length(text), 4u);
    EXPECT_TRUE(has_non_latin1(text));
    EXPECT_FALSE(has_non_latin1("Caf\xC3\xA9"));

    char out[8];
    EXPECT_EQ(std::string(out, latin1_from_utf8(text, out, sizeof out)), "a\xE9??");
    EXPECT_EQ(latin1_from_utf8(text, out, 2), 2u);
}

TEST(FontNames, the_unicode_cut_replaces_the_charset_of_a_full_name)
{
    EXPECT_EQ(unicode_cut_name("-B&H-Lucida-Medium-R-Normal-Sans-12-120-75-75-P-71-ISO8859-1"),
              "-B&H-Lucida-Medium-R-Normal-Sans-12-120-75-75-P-71-iso10646-1");
    EXPECT_EQ(unicode_cut_name("-misc-fixed-medium-r-semicondensed--13-120-75-75-c-60-koi8-r"),
              "-misc-fixed-medium-r-semicondensed--13-120-75-75-c-60-iso10646-1");
    for (const char* odd : {"fixed", "", "-a-b-c", "-a-b-c-d-e-f-g-h-i-j-k-l-m-n-o"})
        EXPECT_EQ(unicode_cut_name(odd), std::nullopt) << odd;

    EXPECT_TRUE(is_character_cell("-Misc-Fixed-Medium-R-SemiCondensed--13-120-75-75-C-60-ISO8859-1"));
    EXPECT_FALSE(is_character_cell("-b&h-lucida-medium-r-normal-sans-12-120-75-75-p-71-iso8859-1"));
    EXPECT_FALSE(is_character_cell("-b&h-lucidatypewriter-medium-r-normal-sans-12-120-75-75-m-70-iso8859-1"));
    EXPECT_FALSE(is_character_cell("fixed"));
}

// A two-row face: U+0000 (the default, 9 wide) and U+0020..U+00FF, 5 wide;
// U+0100..U+01FF only for even characters, 7 wide.
FaceMetrics two_row_face()
{
    FaceMetrics face;
    face.min_byte1 = 0;
    face.max_byte1 = 1;
    face.min_byte2 = 0;
    face.max_byte2 = 255;
    face.advances.assign(512, FaceMetrics::NO_GLYPH);
    face.advances[0] = 9;
    for (int c = 0x20; c < 0x100; ++c)
        face.advances[c] = 5;
    for (int c = 0x100; c < 0x200; c += 2)
        face.advances[c] = 7;
    return face;
}

TEST(UnicodeCut, missing_characters_show_the_default_glyph_and_the_cut_keeps_whole_ones)
{
    const FaceMetrics face = two_row_face();
    EXPECT_EQ(glyph_for(face, U'\u00E9'), 0xE9);
    EXPECT_EQ(glyph_for(face, 0x100), 0x100);
    for (char32_t missing : {char32_t{0x101}, char32_t{0x41F}, char32_t{0x1F600}, char32_t{0x10}})
        EXPECT_EQ(glyph_for(face, missing), 0) << std::hex << static_cast<unsigned>(missing);

    // "é", "Ā", "П" (missing), "😀" (past the BMP): 5 + 7 + 9 + 9.
    const std::string text = "\xC3\xA9\xC4\x80\xD0\x9F\xF0\x9F\x98\x80";
    EXPECT_EQ(fitting_glyphs(text, face, 31), (std::vector<std::uint16_t>{0xE9, 0x100, 0, 0}));
    EXPECT_EQ(fitting_glyphs(text, face, 30), (std::vector<std::uint16_t>{0xE9, 0x100, 0}));
    EXPECT_EQ(fitting_glyphs(text, face, 13), (std::vector<std::uint16_t>{0xE9, 0x100}));
    EXPECT_TRUE(fitting_glyphs(text, face, 5).empty());
    FaceMetrics back = two_row_face();
    back.advances[0x102] = -8;  // a longer prefix can be narrower again: 5, 10, 2
    EXPECT_EQ(fitting_glyphs("\xC3\xA9\xC3\xA9\xC4\x82", back, 6).size(), 3u);

    FaceMetrics cell;
    cell.max_byte1 = 255;
    cell.max_byte2 = 255;
    cell.cell_width = 6;
    EXPECT_EQ(fitting_glyphs(text, cell, 122).size(), 4u);
    EXPECT_EQ(fitting_glyphs(std::string(1 << 20, 'x'), cell, 122).size(), 20u);
}

// A megabyte of zero-width characters would all "fit"; only what a text
// request can carry is kept.
TEST(UnicodeCut, zero_width_characters_stop_at_the_shown_limit)
{
    FaceMetrics face = two_row_face();
    face.advances[0x1FE] = 0;
    std::string marks;
    for (int i = 0; i < 100000; ++i)
        marks += "\xC7\xBE";  // U+01FE
    EXPECT_EQ(fitting_glyphs(marks, face, 122).size(), MAX_SHOWN_CHARACTERS);
}

}  // namespace
