// Titles in every script on the bar: Latin-1 as before, UTF-8 character by
// character in the ISO 10646 cut of the bar's face, "?" where there is none.
#include "draw_fixture.hpp"

#include "font_names.hpp"
#include "utf8.hpp"

namespace {

using draw_test::area_is;
using draw_test::Points;

const std::string CAFE_UTF8 = "Caf\xC3\xA9 \xE2\x80\x94 na\xC3\xAFve \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
const std::string GREEK_UTF8 = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC";  // Ελληνικά

class TitleScripts : public draw_test::BarTest {
protected:
    void TearDown() override
    {
        if (unicode_)
            XFreeFont(dpy, unicode_);
        BarTest::TearDown();
    }

    // A button in the 3-client slot (L 148, W 144), its text from x 168.
    void draw_title(const std::string& title, TextEncoding encoding)
    {
        TrackedWindow& record = add_client(title);
        record.title_kind.encoding = encoding;
        record.button_left = 148;
        record.button_width = 144;
        draw_client_button(*panel, record);
    }

    // The bar font's Unicode cut, loaded here the plain way.
    XFontStruct* unicode_font()
    {
        unsigned long name = 0;
        EXPECT_TRUE(XGetFontProperty(ds.font, XA_FONT, &name));
        char* font_name = XGetAtomName(dpy, name);
        const auto cut = unicode_cut_name(font_name);
        XFree(font_name);
        return unicode_ = XLoadQueryFont(dpy, cut.value_or("").c_str());
    }

    // The characters of `utf8` (all in the BMP) as the longest prefix that
    // Xlib measures narrower than `room` in `font`.
    static std::vector<XChar2b> cut_in(XFontStruct* font, const std::string& utf8, int room)
    {
        std::vector<XChar2b> all;
        for (std::size_t at = 0; at < utf8.size();) {
            const Utf8Char c = decode_utf8(utf8, at);
            all.push_back({static_cast<unsigned char>(c.code >> 8), static_cast<unsigned char>(c.code)});
            at += c.length;
        }
        while (!all.empty() && XTextWidth16(font, all.data(), static_cast<int>(all.size())) >= room)
            all.pop_back();
        return all;
    }

    int panel_fonts()
    {
        XSync(ds.display, False);
        return kit_test::client_resources(dpy, XGContextFromGC(ds.gc)).value().fonts;
    }

    XFontStruct* unicode_ = nullptr;
};

TEST_F(TitleScripts, a_utf8_title_within_latin1_looks_as_its_latin1_twin_and_loads_no_other_font)
{
    const int fonts = panel_fonts();
    draw_title("Caf\xE9 na\xEFve", TextEncoding::Latin1);
    const Points latin1 = glyphs("Caf\xE9 na\xEFve", 168, ds.baseline);
    EXPECT_TRUE(area_is(shot(), 150, 1, 292, 22, color(Face), latin1, color(Ink)));

    cover_bar(Ink);
    draw_title("Caf\xC3\xA9 na\xC3\xAFve", TextEncoding::Utf8);
    EXPECT_TRUE(area_is(shot(), 150, 1, 292, 22, color(Face), latin1, color(Ink)));
    EXPECT_EQ(panel_fonts(), fonts);
}

TEST_F(TitleScripts, a_title_beyond_latin1_is_drawn_and_cut_by_its_characters_in_the_unicode_cut)
{
    const int fonts = panel_fonts();
    draw_title(CAFE_UTF8, TextEncoding::Utf8);
    XFontStruct* font = unicode_font();
    ASSERT_NE(font, nullptr);
    const std::vector<XChar2b> shown = cut_in(font, CAFE_UTF8, 144 - 22);
    ASSERT_GT(shown.size(), 12u);  // "Café — naïve" and more
    const Points text = glyphs16(shown, 168, ds.baseline, font->fid);
    EXPECT_TRUE(area_is(shot(), 150, 1, 292, 22, color(Face), text, color(Ink)));
    EXPECT_EQ(panel_fonts(), fonts + 1);

    // Once no title is UTF-8, the next whole repaint lets the cut go.
    records.front().title_kind.encoding = TextEncoding::Latin1;
    redraw_panel(*panel);
    EXPECT_EQ(panel_fonts(), fonts);
    records.front().title_kind.encoding = TextEncoding::Utf8;
    redraw_panel(*panel);
    EXPECT_EQ(panel_fonts(), fonts + 1);
}

// Only "fixed" on the server: its Unicode cut is a character-cell face,
// used without its 0.8 MB of per-character metrics.
class FixedOnly : public TitleScripts {
protected:
    kit_test::ServerOptions server_options() const override
    {
        return {.font_path = "/usr/share/fonts/X11/misc"};
    }
};

TEST_F(FixedOnly, greek_shows_in_the_cell_face_of_fixed)
{
    draw_title(GREEK_UTF8, TextEncoding::Utf8);
    XFontStruct* font = unicode_font();
    ASSERT_NE(font, nullptr);
    const Points text = glyphs16(cut_in(font, GREEK_UTF8, 144 - 22), 168, ds.baseline, font->fid);
    EXPECT_TRUE(area_is(shot(), 150, 1, 292, 22, color(Face), text, color(Ink)));
    EXPECT_EQ(ds.unicode_face.metrics.cell_width, 6);
    EXPECT_TRUE(ds.unicode_face.metrics.advances.empty());
}

// The server's built-in "fixed" alone has no Unicode cut.
class NoUnicodeCut : public TitleScripts {
protected:
    kit_test::ServerOptions server_options() const override { return {.font_path = "built-ins"}; }
};

TEST_F(NoUnicodeCut, characters_beyond_latin1_show_as_question_marks)
{
    draw_title(GREEK_UTF8 + " caf\xC3\xA9", TextEncoding::Utf8);
    const Points text = glyphs("???????? caf\xE9", 168, ds.baseline);
    EXPECT_TRUE(area_is(shot(), 150, 1, 292, 22, color(Face), text, color(Ink)));
}

}  // namespace
