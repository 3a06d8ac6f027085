// The pieces of the bar, pixel by pixel: grooves, client buttons in their
// looks, icons, titles, the clock and the grip.
#include "draw_fixture.hpp"

#include <ctime>
#include <random>

namespace {

using draw_test::area_is;
using draw_test::Image;
using draw_test::Points;

class BarPieces : public draw_test::BarTest {
protected:
    // A slot as the 3-client layout gives it: L 148, W 144.
    TrackedWindow& placed(std::optional<std::string> title, bool active = false,
                          bool minimized = false)
    {
        TrackedWindow& record = add_client(std::move(title), active, minimized);
        record.button_left = 148;
        record.button_width = 144;
        return record;
    }

    // A red 16 by 16 icon whose mask lets only the left half through.
    unsigned long give_icon(TrackedWindow& record)
    {
        const unsigned long red = kit_test::alloc_panel_color(dpy, 0xFFFF, 0, 0);
        record.icon = XCreatePixmap(dpy, root, ICON_SIZE, ICON_SIZE, ds.depth);
        record.icon_mask = XCreatePixmap(dpy, root, ICON_SIZE, ICON_SIZE, 1);
        for (auto [pixmap, left, right] : {std::tuple{record.icon, red, red},
                                           std::tuple{record.icon_mask, 1ul, 0ul}}) {
            const GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
            XSetForeground(dpy, gc, right);
            XFillRectangle(dpy, pixmap, gc, 0, 0, ICON_SIZE, ICON_SIZE);
            XSetForeground(dpy, gc, left);
            XFillRectangle(dpy, pixmap, gc, 0, 0, ICON_SIZE / 2, ICON_SIZE);
            XFreeGC(dpy, gc);
        }
        kit_test::sync(dpy);
        return red;
    }
};

TEST_F(BarPieces, a_groove_is_shadow_beside_highlight_over_the_full_height)
{
    draw_separator(*panel, 300);
    const Image bar = shot();
    EXPECT_TRUE(area_is(bar, 300, 0, 300, 23, color(Shadow)));
    EXPECT_TRUE(area_is(bar, 301, 0, 301, 23, color(Highlight)));
    EXPECT_TRUE(area_is(bar, 302, 0, 302, 23, color(Face)));
}

TEST_F(BarPieces, an_unpressed_button_is_a_raised_face_with_its_title_in_ink)
{
    cover_bar(Ink);
    draw_client_button(*panel, placed("Editor"));
    const Image bar = shot();
    EXPECT_TRUE(area_is(bar, 148, 0, 148, 23, color(Shadow)));
    EXPECT_TRUE(area_is(bar, 149, 0, 149, 22, color(Highlight)));
    EXPECT_TRUE(area_is(bar, 149, 0, 292, 0, color(Highlight)));
    EXPECT_TRUE(area_is(bar, 149, 23, 292, 23, color(FacePressed)));
    const Points text = glyphs("Editor", 148 + 20, ds.baseline);
    EXPECT_FALSE(text.empty());
    EXPECT_TRUE(area_is(bar, 150, 1, 292, 22, color(Face), text, color(Ink)));
    EXPECT_TRUE(area_is(bar, 293, 0, 293, 23, color(Ink)));  // nothing past the slot
}

TEST_F(BarPieces, a_pressed_button_is_a_sunken_box_with_its_content_one_pixel_right)
{
    cover_bar(Ink);
    draw_client_button(*panel, placed("Editor", true));
    const Image bar = shot();
    const int l = 148, w = 144;
    EXPECT_TRUE(area_is(bar, l + 1, 0, l + w, 0, color(Highlight)));
    EXPECT_TRUE(area_is(bar, l + 1, 23, l + w, 23, color(FacePressed)));
    EXPECT_TRUE(area_is(bar, l + 2, 2, l + 2, 22, color(Face)));
    EXPECT_TRUE(area_is(bar, l + 3, 2, l + w - 1, 2, color(Shadow)));
    EXPECT_TRUE(area_is(bar, l + 3, 3, l + 3, 21, color(Shadow)));
    EXPECT_TRUE(area_is(bar, l + 3, 22, l + w - 1, 22, color(Highlight)));
    EXPECT_TRUE(area_is(bar, l + w - 1, 3, l + w - 1, 21, color(Highlight)));
    const Points text = glyphs("Editor", l + 1 + 20, ds.baseline);
    EXPECT_TRUE(area_is(bar, l + 4, 3, l + w - 2, 20, color(FacePressed), text, color(Ink)));
    // Rows 1 and 21 inside the box and the last column keep what was there.
    EXPECT_TRUE(area_is(bar, l + 2, 1, l + w, 1, color(Ink)));
    EXPECT_TRUE(area_is(bar, l + 4, 21, l + w - 2, 21, color(Ink)));
    EXPECT_TRUE(area_is(bar, l + w, 1, l + w, 22, color(Ink)));
}

TEST_F(BarPieces, a_minimised_title_is_engraved_in_both_looks)
{
    for (bool active : {false, true}) {
        const int c = placed("Editor", active, true).button_left + (active ? 1 : 0);
        draw_client_button(*panel, records.back());
        const Image bar = shot();
        const Points shadow = glyphs("Editor", c + 20, ds.baseline);
        const Points highlight = glyphs("Editor", c + 20, ds.baseline + 1);
        for (const auto& point : highlight) {
            if (!shadow.count(point)) {
                ASSERT_EQ(bar.at(point.first, point.second), color(Highlight)) << active;
            }
        }
        for (const auto& point : shadow)
            ASSERT_EQ(bar.at(point.first, point.second), color(Shadow)) << active;
    }
}

TEST_F(BarPieces, a_megabyte_title_is_cut_from_the_end_to_less_than_the_room)
{
    const std::string title(1 << 20, 'W');
    draw_client_button(*panel, placed(title));
    int n = 0;  // the longest prefix the server's font measures under W - 22
    while (XTextWidth(ds.font, title.data(), n + 1) < 144 - 22)
        ++n;
    ASSERT_GT(n, 0);
    const Points text = glyphs(title.substr(0, n), 148 + 20, ds.baseline);
    EXPECT_TRUE(area_is(shot(), 168, 1, 292, 22, color(Face), text, color(Ink)));
}

TEST_F(BarPieces, the_width_table_measures_as_the_font_does)
{
    std::mt19937 random(7);
    for (int sample = 0; sample < 200; ++sample) {
        std::string text(sample % 60, '\0');
        long long sum = 0;
        for (char& c : text) {
            c = static_cast<char>(random() % 256);
            sum += bar_char_widths()[static_cast<unsigned char>(c)];
        }
        ASSERT_EQ(sum, XTextWidth(ds.font, text.data(), static_cast<int>(text.size())));
    }
}

TEST_F(BarPieces, the_icon_is_copied_through_its_mask_at_the_content_origin)
{
    for (bool active : {false, true}) {
        TrackedWindow& record = placed("", active);
        const unsigned long red = give_icon(record);
        draw_client_button(*panel, record);
        const Image bar = shot();
        const int x = 148 + (active ? 1 : 0) + 2;
        EXPECT_TRUE(area_is(bar, x, 4, x + 7, 19, red)) << active;
        EXPECT_TRUE(area_is(bar, x + 8, 4, x + 15, 19, color(active ? FacePressed : Face)));
        EXPECT_EQ(bar.count(red), 8 * 16) << active;
    }
    // The mask is gone once the button is drawn.
    set_ink(Ink);
    fill_rect(*panel, 140, 0, 40, PANEL_HEIGHT);
    EXPECT_TRUE(area_is(shot(), 140, 0, 179, 23, color(Ink)));
}

TEST_F(BarPieces, buttons_without_a_title_or_a_slot_draw_nothing)
{
    cover_bar(Ink);
    draw_client_button(*panel, placed(std::nullopt, true));
    TrackedWindow& fresh = add_client("New", true);  // no layout yet: left 0, width 0
    give_icon(fresh);
    draw_client_button(*panel, fresh);
    EXPECT_EQ(shot().count(color(Ink)), s * PANEL_HEIGHT);
}

TEST_F(BarPieces, slots_too_narrow_for_a_box_never_fill_past_themselves)
{
    cover_bar(Ink);
    for (int width = 0; width <= 5; ++width) {
        TrackedWindow& record = add_client("x", width % 2 == 0);
        record.button_left = 200 + 20 * width;
        record.button_width = width;
        draw_client_button(*panel, record);
    }
    const Image bar = shot();
    EXPECT_TRUE(area_is(bar, 320, 0, s - 1, 23, color(Ink)));
    EXPECT_TRUE(area_is(bar, 0, 0, 198, 23, color(Ink)));  // a width-0 box reaches L - 1
}

std::string clock_text()
{
    const time_t now = std::time(nullptr);
    return std::string(std::ctime(&now) + 11, 5);
}

TEST_F(BarPieces, the_clock_is_a_sunken_box_with_hours_and_minutes_over_the_old_time)
{
    cover_bar(Ink);  // also a stale time all over the face
    std::string time;
    std::optional<Image> bar;
    do {  // again when the minute turns during the paint
        time = clock_text();
        draw_clock(*panel);
        bar = shot();
    } while (time != clock_text());

    EXPECT_EQ(ds.clock_left, s - 43);
    EXPECT_TRUE(area_is(*bar, s - 43, 0, s - 43, 23, color(Shadow)));
    EXPECT_TRUE(area_is(*bar, s - 42, 0, s - 42, 23, color(Highlight)));
    EXPECT_TRUE(area_is(*bar, s - 41, 2, s - 5, 2, color(Shadow)));
    EXPECT_TRUE(area_is(*bar, s - 41, 3, s - 41, 22, color(Shadow)));
    EXPECT_TRUE(area_is(*bar, s - 40, 22, s - 4, 22, color(Highlight)));
    EXPECT_TRUE(area_is(*bar, s - 4, 2, s - 4, 21, color(Highlight)));
    const Points text = glyphs(time, s - 40, ds.baseline);
    EXPECT_FALSE(text.empty());
    EXPECT_TRUE(area_is(*bar, s - 40, 3, s - 5, 21, color(FacePressed), text, color(Ink)));
    // Rows 0, 1, 23 and the last three columns are not the clock's.
    EXPECT_TRUE(area_is(*bar, s - 41, 0, s - 1, 1, color(Ink)));
    EXPECT_TRUE(area_is(*bar, s - 41, 23, s - 1, 23, color(Ink)));
    EXPECT_TRUE(area_is(*bar, s - 3, 2, s - 1, 22, color(Ink)));
}

TEST_F(BarPieces, the_grip_is_two_columns_of_seven_dot_pairs)
{
    draw_grip(panel->window, s - 6);
    const Image bar = shot();
    Points shadow, highlight;
    for (int y = 3; y <= 21; y += 3)
        for (int x : {s - 6, s - 3}) {
            shadow.emplace(x, y);
            highlight.emplace(x + 1, y + 1);
        }
    EXPECT_TRUE(highlight.count({s - 2, 22}));
    for (int y = 0; y < PANEL_HEIGHT; ++y)
        for (int x = s - 8; x < s; ++x) {
            const unsigned long expected = shadow.count({x, y})      ? color(Shadow)
                                           : highlight.count({x, y}) ? color(Highlight)
                                                                     : color(Face);
            ASSERT_EQ(bar.at(x, y), expected) << x << ", " << y;
        }
}

}  // namespace
