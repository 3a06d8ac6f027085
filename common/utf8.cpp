#include "utf8.hpp"

namespace {

bool is_continuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF)
{
    return byte >= low && byte <= high;
}

}  // namespace

Utf8Char decode_utf8(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return {lead, 1, true};

    // The well-formed sequences: the lead byte fixes the length, the value
    // bits it carries and the range of the second byte (no overlong forms,
    // no surrogates, nothing past U+10FFFF).
    std::size_t length = 0;
    char32_t code = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return {REPLACEMENT_CHARACTER, 1, false};
    }

    for (std::size_t i = 1; i < length; ++i) {
        const bool fits = at + i < text.size() &&
                          (i == 1 ? is_continuation(byte(i), low, high) : is_continuation(byte(i)));
        if (!fits)
            return {REPLACEMENT_CHARACTER, i, false};
        code = code << 6 | (byte(i) & 0x3F);
    }
    return {code, length, true};
}

bool is_valid_utf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = decode_utf8(text, at);
        if (!c.well_formed)
            return false;
        at += c.length;
    }
    return true;
}

std::string valid_utf8(std::string_view text)
{
    if (is_valid_utf8(text))
        return std::string(text);
    std::string result;
    result.reserve(text.size() + text.size() / 2);
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = decode_utf8(text, at);
        if (!c.well_formed)
            result += "\xEF\xBF\xBD";  // U+FFFD
        else
            result.append(text, at, c.length);
        at += c.length;
    }
    return result;
}

std::size_t utf8_prefix_within(std::string_view text, std::size_t max_bytes)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t next = at + decode_utf8(text, at).length;
        if (next > max_bytes)
            break;
        at = next;
    }
    return at;
}

std::size_t utf8_length(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += decode_utf8(text, at).length)
        ++count;
    return count;
}

bool has_non_latin1(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = decode_utf8(text, at);
        if (c.code > LATIN1_LAST)
            return true;
        at += c.length;
    }
    return false;
}

std::size_t latin1_from_utf8(std::string_view text, char* out, std::size_t capacity)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size() && count < capacity; ++count) {
        const Utf8Char c = decode_utf8(text, at);
        out[count] = c.code > LATIN1_LAST ? '?' : static_cast<char>(c.code);
        at += c.length;
    }
    return count;
}
