// UTF-8 as clients write it: decoding with U+FFFD for what is not UTF-8,
// whole-character prefixes and counts, and Latin-1 where no Unicode font helps.
// Plain values in and out, no X.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;
// The highest code point a Latin-1 byte holds.
constexpr char32_t LATIN1_LAST = 0xFF;

struct Utf8Char {
    char32_t code;
    std::size_t length;  // bytes read, at least 1
    bool well_formed;
};

// The character that starts at byte `at` (below text.size()). An ill-formed
// sequence reads as U+FFFD and spans its longest well-formed beginning, at
// least one byte, so a walk always moves on and never reads past the text.
Utf8Char decode_utf8(std::string_view text, std::size_t at);

bool is_valid_utf8(std::string_view text);

// `text` with every ill-formed sequence replaced by U+FFFD.
std::string valid_utf8(std::string_view text);

// Bytes of the longest prefix of whole characters of `text` that is at most
// max_bytes long.
std::size_t utf8_prefix_within(std::string_view text, std::size_t max_bytes);

// Characters in `text`.
std::size_t utf8_length(std::string_view text);

// Whether a character of `text` lies beyond Latin-1.
bool has_non_latin1(std::string_view text);

// Writes `text` as Latin-1 into `out`, one byte per character and "?" for
// characters beyond Latin-1, at most `capacity` of them; returns the count.
std::size_t latin1_from_utf8(std::string_view text, char* out, std::size_t capacity);
