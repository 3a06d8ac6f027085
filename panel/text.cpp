#include "text.hpp"

#include "display_state.hpp"
#include "font_names.hpp"
#include "utf8.hpp"

#include <X11/Xatom.h>

#include <climits>
#include <optional>

// ---- A face's glyphs -------------------------------------------------------

namespace {

// Index of a glyph into the face's rows, or nullopt outside them. One-row
// faces index linearly; the others by high byte and low byte.
std::optional<std::size_t> glyph_index(const FaceMetrics& face, std::uint16_t glyph)
{
    if (face.min_byte1 == 0 && face.max_byte1 == 0) {
        if (glyph < face.min_byte2 || glyph > face.max_byte2)
            return std::nullopt;
        return glyph - face.min_byte2;
    }
    const unsigned row = glyph >> 8, column = glyph & 0xFF;
    if (row < face.min_byte1 || row > face.max_byte1 || column < face.min_byte2 ||
        column > face.max_byte2)
        return std::nullopt;
    const std::size_t columns = face.max_byte2 - face.min_byte2 + 1;
    return (row - face.min_byte1) * columns + (column - face.min_byte2);
}

bool has_glyph(const FaceMetrics& face, std::uint16_t glyph)
{
    const auto index = glyph_index(face, glyph);
    if (!index)
        return false;
    if (face.cell_width > 0)
        return true;
    return *index < face.advances.size() && face.advances[*index] != FaceMetrics::NO_GLYPH;
}

}  // namespace

std::uint16_t glyph_for(const FaceMetrics& face, char32_t code)
{
    if (code <= 0xFFFF && has_glyph(face, static_cast<std::uint16_t>(code)))
        return static_cast<std::uint16_t>(code);
    return face.default_char;
}

int glyph_advance(const FaceMetrics& face, std::uint16_t glyph)
{
    if (!has_glyph(face, glyph))
        return 0;
    return face.cell_width > 0 ? face.cell_width : face.advances[*glyph_index(face, glyph)];
}

std::vector<std::uint16_t> fitting_glyphs(std::string_view utf8, const FaceMetrics& face,
                                          int max_width)
{
    // Every prefix is looked at: advances may be zero or, in odd fonts,
    // negative, so a longer prefix can be narrower again.
    std::vector<std::uint16_t> glyphs;
    std::size_t fit = 0;
    long long width = 0;
    for (std::size_t at = 0; at < utf8.size() && glyphs.size() < MAX_SHOWN_CHARACTERS;) {
        const Utf8Char c = decode_utf8(utf8, at);
        glyphs.push_back(glyph_for(face, c.code));
        width += glyph_advance(face, glyphs.back());
        if (width < max_width)
            fit = glyphs.size();
        at += c.length;
    }
    glyphs.resize(fit);
    return glyphs;
}

// ---- The Unicode cut on the server ----------------------------------------

namespace {

bool is_missing(const XCharStruct& glyph)
{
    return glyph.width == 0 && glyph.lbearing == 0 && glyph.rbearing == 0 && glyph.ascent == 0 &&
           glyph.descent == 0;
}

// Metrics without per-character data are those of a character-cell face.
FaceMetrics face_metrics(const XFontStruct& font)
{
    FaceMetrics face;
    face.min_byte1 = font.min_byte1;
    face.max_byte1 = font.max_byte1;
    face.min_byte2 = font.min_char_or_byte2;
    face.max_byte2 = font.max_char_or_byte2;
    face.default_char = static_cast<std::uint16_t>(font.default_char);
    if (!font.per_char) {
        face.cell_width = font.max_bounds.width;
        return face;
    }
    const std::size_t rows = font.max_byte1 >= font.min_byte1 ? font.max_byte1 - font.min_byte1 + 1 : 0;
    const std::size_t columns =
        font.max_char_or_byte2 >= font.min_char_or_byte2 ? font.max_char_or_byte2 - font.min_char_or_byte2 + 1 : 0;
    face.advances.resize(rows * columns);
    for (std::size_t i = 0; i < face.advances.size(); ++i)
        face.advances[i] = is_missing(font.per_char[i]) ? FaceMetrics::NO_GLYPH : font.per_char[i].width;
    return face;
}

// The bar's font by its own FONT property, with the charset of ISO 10646.
std::optional<std::string> unicode_cut_of_bar_font()
{
    unsigned long name_atom = 0;
    if (!XGetFontProperty(ds.font, XA_FONT, &name_atom) || name_atom == 0)
        return std::nullopt;
    char* name = XGetAtomName(ds.display, static_cast<Atom>(name_atom));
    if (!name)
        return std::nullopt;
    auto cut = unicode_cut_name(name);
    XFree(name);
    return cut;
}

// A character-cell face needs only its cell width, which the font's header
// gives without the per-character metrics (0.8 MB for the 6x13 "fixed").
bool load_cell_face(UnicodeFace& face, const std::string& name)
{
    int count = 0;
    XFontStruct* info = nullptr;
    char** names = XListFontsWithInfo(ds.display, name.c_str(), 1, &count, &info);
    if (!names)
        return false;
    const bool found = count > 0 && info;
    if (found) {
        face.metrics = face_metrics(*info);
        face.font = XLoadFont(ds.display, name.c_str());
    }
    XFreeFontInfo(names, info, count);
    return found;
}

// Other faces keep a compact copy of their advances; Xlib's own copy of the
// metrics goes, the font stays loaded.
bool load_proportional_face(UnicodeFace& face, const std::string& name)
{
    XFontStruct* font = XLoadQueryFont(ds.display, name.c_str());
    if (!font)
        return false;
    face.metrics = face_metrics(*font);
    face.font = font->fid;
    XFreeFontInfo(nullptr, font, 1);
    return true;
}

const UnicodeFace* unicode_face()
{
    UnicodeFace& face = ds.unicode_face;
    if (face.font == None && !face.unavailable) {
        const auto name = unicode_cut_of_bar_font();
        const bool loaded = name && (is_character_cell(*name) ? load_cell_face(face, *name)
                                                              : load_proportional_face(face, *name));
        face.unavailable = !loaded;
    }
    return face.font != None ? &face : nullptr;
}

std::vector<XChar2b> to_char2b(const std::vector<std::uint16_t>& glyphs)
{
    std::vector<XChar2b> result(glyphs.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i)
        result[i] = {static_cast<unsigned char>(glyphs[i] >> 8), static_cast<unsigned char>(glyphs[i] & 0xFF)};
    return result;
}

}  // namespace

ShownTitle shown_title(std::string_view title, TextEncoding encoding, int max_width,
                       const CharWidths& latin1_widths)
{
    ShownTitle shown;
    if (encoding == TextEncoding::Latin1) {
        shown.latin1 = title.substr(0, MAX_SHOWN_CHARACTERS);
    } else {
        // Only the characters that could ever show are looked at.
        std::size_t end = 0;
        for (std::size_t count = 0; end < title.size() && count < MAX_SHOWN_CHARACTERS; ++count)
            end += decode_utf8(title, end).length;
        const std::string_view head = title.substr(0, end);
        if (has_non_latin1(head)) {
            if (const UnicodeFace* face = unicode_face()) {
                shown.unicode = true;
                shown.glyphs = to_char2b(fitting_glyphs(head, face->metrics, max_width));
                return shown;
            }
        }
        shown.latin1.resize(MAX_SHOWN_CHARACTERS);
        shown.latin1.resize(latin1_from_utf8(head, shown.latin1.data(), shown.latin1.size()));
    }
    shown.latin1.resize(title_fit_length(shown.latin1, latin1_widths, max_width));
    return shown;
}

void draw_shown_title(const Panel& panel, int x, int y, const ShownTitle& shown)
{
    if (!shown.unicode) {
        XDrawString(ds.display, panel.window, ds.gc, x, y, shown.latin1.data(),
                    static_cast<int>(shown.latin1.size()));
        return;
    }
    // The ink still pending in Xlib's GC cache goes first: a font change the
    // server refused would take it along.
    XFlushGC(ds.display, ds.gc);
    XSetFont(ds.display, ds.gc, ds.unicode_face.font);
    XDrawString16(ds.display, panel.window, ds.gc, x, y, shown.glyphs.data(),
                  static_cast<int>(shown.glyphs.size()));
    XSetFont(ds.display, ds.gc, ds.font->fid);
}

void release_unused_unicode_face(const Panel& panel)
{
    UnicodeFace& face = ds.unicode_face;
    if (face.font == None)
        return;
    for (const TrackedWindow* record = panel.first_client; record; record = record->next)
        if (record->title && record->title_kind.encoding == TextEncoding::Utf8)
            return;
    XUnloadFont(ds.display, face.font);
    face.font = None;
    face.metrics = FaceMetrics{};
}
