// Titles on the bar: Latin-1 in the bar's font, UTF-8 in the ISO 10646 cut
// of the same face, loaded only while a title needs it; measuring and the
// whole-character cut.
#pragma once

#include "geometry.hpp"
#include "window_name.hpp"

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Panel;

// A title shows at most this many characters: no button is wide enough for
// more, and zero-width glyphs must not make a megabyte "fit" (Xlib aborts
// on a text request that long).
constexpr std::size_t MAX_SHOWN_CHARACTERS = 512;

// ---- A face's glyphs, as plain values ------------------------------------

// What a core font says of its glyphs: their index range, the default glyph
// and each glyph's advance. A character-cell face keeps only its cell width.
struct FaceMetrics {
    static constexpr std::int16_t NO_GLYPH = INT16_MIN;
    unsigned min_byte1 = 0, max_byte1 = 0;
    unsigned min_byte2 = 0, max_byte2 = 0;  // for one-row faces, the whole index range
    std::uint16_t default_char = 0;
    int cell_width = 0;                   // above 0: every glyph is this wide
    std::vector<std::int16_t> advances;   // row by row; NO_GLYPH where the face has none
};

// The glyph the face draws for a character: the character's own where the
// face has it, else the default glyph (also for anything past U+FFFF).
std::uint16_t glyph_for(const FaceMetrics& face, char32_t code);
// A glyph's advance; 0 for one the face lacks, which the server skips.
int glyph_advance(const FaceMetrics& face, std::uint16_t glyph);

// The glyphs of the longest prefix of whole characters of `utf8` narrower
// than max_width (none when even the empty one is not), in one pass over at
// most MAX_SHOWN_CHARACTERS characters.
std::vector<std::uint16_t> fitting_glyphs(std::string_view utf8, const FaceMetrics& face,
                                          int max_width);

// ---- On the server ---------------------------------------------------------

// The ISO 10646 cut: loaded on first need, let go when no title needs it.
struct UnicodeFace {
    bool unavailable = false;  // the bar's font has no such cut: "?" stands in
    Font font = None;
    FaceMetrics metrics;
};

// What a button shows of a title: bytes for the bar's font, or glyphs of its
// Unicode cut.
struct ShownTitle {
    bool unicode = false;
    std::string latin1;
    std::vector<XChar2b> glyphs;
};

// The part of a title narrower than max_width. A UTF-8 title with no
// character beyond Latin-1 is shown as Latin-1, so "é" looks the same
// whichever way it came; one with more loads the Unicode cut, or shows "?"
// for the rest where there is none.
ShownTitle shown_title(std::string_view title, TextEncoding encoding, int max_width,
                       const CharWidths& latin1_widths);

// Draws it with its baseline at y, in the current ink.
void draw_shown_title(const Panel& panel, int x, int y, const ShownTitle& shown);

// Unloads the Unicode cut when no record's title is UTF-8 any more.
void release_unused_unicode_face(const Panel& panel);
