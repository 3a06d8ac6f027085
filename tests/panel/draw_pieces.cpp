// The pieces of the bar, pixel by pixel: grooves, client buttons in their
// looks, icons, the clock and the grip.
#include "draw_fixture.hpp"

#include <ctime>
#include <random>

namespace {

using draw_test::area_is;
using draw_test::text_area_is;
using draw_test::Points;
using kit_test::Image;

class BarPieces : public draw_test::BarTest {
protected:
    // A 16 by 16 icon of one colour and a mask that lets only its left half
    // through.
    void make_icon(TrackedWindow& record, unsigned long pixel)
    {
        record.icon = XCreatePixmap(dpy, root, ICON_SIZE, ICON_SIZE, ds.depth);
        const GC gc = XCreateGC(dpy, record.icon, 0, nullptr);
        XSetForeground(dpy, gc, pixel);
        XFillRectangle(dpy, record.icon, gc, 0, 0, ICON_SIZE, ICON_SIZE);
        XFreeGC(dpy, gc);

        record.icon_mask = XCreatePixmap(dpy, root, ICON_SIZE, ICON_SIZE, 1);
        const GC mask_gc = XCreateGC(dpy, record.icon_mask, 0, nullptr);
        XSetForeground(dpy, mask_gc, 0);
        XFillRectangle(dpy, record.icon_mask, mask_gc, 0, 0, ICON_SIZE, ICON_SIZE);
        XSetForeground(dpy, mask_gc, 1);
        XFillRectangle(dpy, record.icon_mask, mask_gc, 0, 0, ICON_SIZE / 2, ICON_SIZE);
        XFreeGC(dpy, mask_gc);
        kit_test::sync(dpy);
    }

    unsigned long icon_pixel()
    {
        return kit_test::alloc_panel_color(dpy, 0xFFFF, 0x0000, 0x0000);
    }

    TrackedWindow& placed_client(std::optional<std::string> title, bool active = false,
                                 bool minimized = false)
    {
        TrackedWindow& record = add_client(std::move(title), active, minimized);
        record.button_left = 148;
        record.button_width = 144;
        return record;
    }
};

// ---- Grooves ------------------------------------------------------------------

TEST_F(BarPieces, a_groove_is_shadow_beside_highlight_over_the_full_height)
{
    draw_separator(*panel, 300);
    const Image bar = shot();
    EXPECT_TRUE(area_is(bar, 300, 0, 300, 23, color(Shadow)));
    EXPECT_TRUE(area_is(bar, 301, 0, 301, 23, color(Highlight)));
    EXPECT_TRUE(area_is(bar, 299, 0, 299, 23, color(Face)));
    EXPECT_TRUE(area_is(bar, 302, 0, 302, 23, color(Face)));
}

// ---- Client buttons -----------------------------------------------------------

TEST_F(BarPieces, an_unpressed_button_is_a_raised_face_after_its_groove)
{
    cover_bar(Ink);
    draw_client_button(*panel, placed_client(""));
    const Image bar = shot();
    const int l = 148, w = 144;
    EXPECT_TRUE(area_is(bar, l, 0, l, 23, color(Shadow)));
    EXPECT_TRUE(area_is(bar, l + 1, 0, l + 1, 22, color(Highlight)));
    EXPECT_TRUE(area_is(bar, l + 1, 0, l + w, 0, color(Highlight)));
    EXPECT_TRUE(area_is(bar, l + 1, 23, l + w, 23, color(FacePressed)));
    // Face right of the icon up to the last column, and above and below it.
    EXPECT_TRUE(area_is(bar, l + 18, 1, l + w, 22, color(Face)));
    EXPECT_TRUE(area_is(bar, l + 2, 1, l + 17, 3, color(Face)));
    EXPECT_TRUE(area_is(bar, l + 2, 20, l + 17, 22, color(Face)));
    // Nothing beyond the slot.
    EXPECT_TRUE(area_is(bar, l + w + 1, 0, l + w + 1, 23, color(Ink)));
    EXPECT_TRUE(area_is(bar, l - 1, 0, l - 1, 23, color(Ink)));
}

TEST_F(BarPieces, a_pressed_button_is_a_sunken_box)
{
    cover_bar(Ink);
    draw_client_button(*panel, placed_client("", true));
    const Image bar = shot();
    const int l = 148, w = 144;
    EXPECT_TRUE(area_is(bar, l, 0, l, 23, color(Shadow)));
    EXPECT_TRUE(area_is(bar, l + 1, 0, l + w, 0, color(Highlight)));
    EXPECT_TRUE(area_is(bar, l + 1, 23, l + w, 23, color(FacePressed)));
    EXPECT_TRUE(area_is(bar, l + 2, 2, l + 2, 22, color(Face)));
    EXPECT_TRUE(area_is(bar, l + 3, 2, l + w - 1, 2, color(Shadow)));
    EXPECT_TRUE(area_is(bar, l + 3, 2, l + 3, 21, color(Shadow)));
    EXPECT_TRUE(area_is(bar, l + 3, 22, l + w - 1, 22, color(Highlight)));
    EXPECT_TRUE(area_is(bar, l + w - 1, 3, l + w - 1, 22, color(Highlight)));
    EXPECT_TRUE(area_is(bar, l + 20, 3, l + w - 2, 20, color(FacePressed)));
    // Rows 1 and 21 inside the box, and the last column, keep what was there.
    EXPECT_TRUE(area_is(bar, l + 2, 1, l + w, 1, color(Ink)));
    EXPECT_TRUE(area_is(bar, l + 4, 21, l + w - 2, 21, color(Ink)));
    EXPECT_TRUE(area_is(bar, l + w, 1, l + w, 22, color(Ink)));
}

TEST_F(BarPieces, a_title_is_drawn_in_ink_after_the_icon)
{
    TrackedWindow& record = placed_client("Editor");
    draw_client_button(*panel, record);
    const Image bar = shot();
    const int c = record.button_left;
    const auto text = glyphs("Editor", c + 20, ds.baseline);
    EXPECT_FALSE(text.empty());
    EXPECT_TRUE(text_area_is(bar, text, c + 18, 1, c + 144, 22, color(Ink), color(Face)));
}

TEST_F(BarPieces, a_pressed_title_sits_one_pixel_further_right)
{
    TrackedWindow& record = placed_client("Editor", true);
    draw_client_button(*panel, record);
    const Image bar = shot();
    const int c = record.button_left + 1;
    const auto text = glyphs("Editor", c + 20, ds.baseline);
    EXPECT_TRUE(text_area_is(bar, text, c + 18, 3, c + 140, 20, color(Ink), color(FacePressed)));
}

TEST_F(BarPieces, a_minimised_title_is_engraved)
{
    TrackedWindow& record = placed_client("Editor", false, true);
    draw_client_button(*panel, record);
    const Image bar = shot();
    const int c = record.button_left;
    const auto shadow_text = glyphs("Editor", c + 20, ds.baseline);
    const auto highlight_text = glyphs("Editor", c + 20, ds.baseline + 1);
    for (int y = 1; y <= 22; ++y)
        for (int x = c + 18; x <= c + 144; ++x) {
            unsigned long expected = color(Face);
            if (shadow_text.count({x, y}))
                expected = color(Shadow);
            else if (highlight_text.count({x, y}))
                expected = color(Highlight);
            ASSERT_EQ(bar.at(x, y), expected) << x << ", " << y;
        }
}

TEST_F(BarPieces, a_window_both_active_and_minimised_is_sunken_and_engraved)
{
    TrackedWindow& record = placed_client("Editor", true, true);
    draw_client_button(*panel, record);
    const Image bar = shot();
    const int c = record.button_left + 1;
    const auto shadow_text = glyphs("Editor", c + 20, ds.baseline);
    EXPECT_TRUE(area_is(bar, c + 2, 2, c + 2 + 100, 2, color(Shadow)));
    for (const auto& [x, y] : shadow_text)
        ASSERT_EQ(bar.at(x, y), color(Shadow)) << x << ", " << y;
}

TEST_F(BarPieces, a_long_title_is_cut_from_the_end_to_less_than_the_room)
{
    const std::string title(300, 'W');
    TrackedWindow& record = placed_client(title);
    draw_client_button(*panel, record);
    const Image bar = shot();

    // The longest prefix narrower than W - 22 = 122, measured by the server's font.
    int n = static_cast<int>(title.size());
    while (XTextWidth(ds.font, title.data(), n) >= 122 && n > 0)
        --n;
    ASSERT_GT(n, 0);
    const int c = record.button_left;
    const auto text = glyphs(title.substr(0, n), c + 20, ds.baseline);
    EXPECT_TRUE(text_area_is(bar, text, c + 18, 1, c + 144, 22, color(Ink), color(Face)));
}

TEST_F(BarPieces, a_megabyte_title_is_cut_like_a_short_one)
{
    const std::string title(1 << 20, 'm');
    TrackedWindow& record = placed_client(title);
    draw_client_button(*panel, record);
    const Image bar = shot();

    int n = 0;  // one width per byte: the longest prefix narrower than 122
    while (XTextWidth(ds.font, title.data(), n + 1) < 122)
        ++n;
    const int c = record.button_left;
    const auto text = glyphs(title.substr(0, n), c + 20, ds.baseline);
    EXPECT_TRUE(text_area_is(bar, text, c + 18, 1, c + 144, 22, color(Ink), color(Face)));
}

TEST_F(BarPieces, a_narrow_button_shows_no_title)
{
    TrackedWindow& record = placed_client("Editor");
    record.button_width = 22;
    draw_client_button(*panel, record);
    const Image bar = shot();
    EXPECT_EQ(bar.count(color(Ink)), 0);
}

TEST_F(BarPieces, the_width_table_measures_like_the_font)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte_value(0, 255);
    for (int sample = 0; sample < 200; ++sample) {
        std::string text(sample % 60, '\0');
        for (char& c : text)
            c = static_cast<char>(byte_value(random));
        long long sum = 0;
        for (unsigned char c : text)
            sum += bar_char_widths()[c];
        ASSERT_EQ(sum, XTextWidth(ds.font, text.data(), static_cast<int>(text.size())));
    }
}

TEST_F(BarPieces, a_missing_title_draws_nothing_at_all)
{
    cover_bar(Ink);
    draw_client_button(*panel, placed_client(std::nullopt, true));
    EXPECT_EQ(shot().count(color(Ink)), s * PANEL_HEIGHT);
}

TEST_F(BarPieces, a_record_without_a_slot_draws_nothing)
{
    cover_bar(Ink);
    TrackedWindow& record = add_client("New", true);  // no layout yet: left 0, width 0
    make_icon(record, icon_pixel());
    draw_client_button(*panel, record);
    EXPECT_EQ(shot().count(color(Ink)), s * PANEL_HEIGHT);
}

TEST_F(BarPieces, the_icon_is_copied_through_its_mask_at_the_content_origin)
{
    for (bool active : {false, true}) {
        TrackedWindow& record = placed_client("", active);
        make_icon(record, icon_pixel());
        draw_client_button(*panel, record);
        const Image bar = shot();
        const int x = record.button_left + (active ? 1 : 0) + 2;
        const unsigned long paper = active ? color(FacePressed) : color(Face);
        EXPECT_TRUE(area_is(bar, x, 4, x + 7, 19, icon_pixel())) << active;
        EXPECT_TRUE(area_is(bar, x + 8, 4, x + 15, 19, paper)) << active;
        EXPECT_NE(bar.at(x, 3), icon_pixel()) << active;
        EXPECT_NE(bar.at(x, 20), icon_pixel()) << active;
        EXPECT_NE(bar.at(x - 1, 10), icon_pixel()) << active;
        XFreePixmap(dpy, record.icon);
        XFreePixmap(dpy, record.icon_mask);
    }
}

TEST_F(BarPieces, drawing_after_an_icon_is_not_clipped)
{
    TrackedWindow& record = placed_client("");
    make_icon(record, icon_pixel());
    draw_client_button(*panel, record);
    set_ink(Ink);
    fill_rect(*panel, 600, 0, 40, PANEL_HEIGHT);
    EXPECT_TRUE(area_is(shot(), 600, 0, 639, 23, color(Ink)));
}

TEST_F(BarPieces, an_icon_without_a_mask_is_copied_whole)
{
    TrackedWindow& record = placed_client("");
    make_icon(record, icon_pixel());
    XFreePixmap(dpy, record.icon_mask);
    record.icon_mask = None;
    draw_client_button(*panel, record);
    EXPECT_TRUE(area_is(shot(), 150, 4, 165, 19, icon_pixel()));
}

TEST_F(BarPieces, a_vanished_icon_leaves_the_button_without_one)
{
    TrackedWindow& record = placed_client("");
    make_icon(record, icon_pixel());
    XFreePixmap(dpy, record.icon);
    kit_test::sync(dpy);
    draw_client_button(*panel, record);
    const Image bar = shot();
    EXPECT_EQ(bar.count(icon_pixel()), 0);
    EXPECT_TRUE(area_is(bar, 150, 1, 148 + 144, 22, color(Face)));
}

TEST_F(BarPieces, tiny_slots_never_paint_past_themselves)
{
    // Widths that would give negative fills; nothing may reach the marker.
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

// ---- Clock --------------------------------------------------------------------

std::string clock_text()
{
    const time_t now = std::time(nullptr);
    return std::string(std::ctime(&now) + 11, 5);
}

TEST_F(BarPieces, the_clock_is_a_sunken_box_with_hours_and_minutes)
{
    cover_bar(Ink);
    std::string before, after;
    std::optional<Image> bar;
    do {  // retried when the minute turns during the paint
        before = clock_text();
        draw_clock(*panel);
        bar = shot();
        after = clock_text();
    } while (before != after);

    EXPECT_EQ(ds.clock_left, s - 43);
    EXPECT_TRUE(area_is(*bar, s - 43, 0, s - 43, 23, color(Shadow)));
    EXPECT_TRUE(area_is(*bar, s - 42, 0, s - 42, 23, color(Highlight)));
    EXPECT_TRUE(area_is(*bar, s - 41, 2, s - 5, 2, color(Shadow)));
    EXPECT_TRUE(area_is(*bar, s - 41, 2, s - 41, 22, color(Shadow)));
    EXPECT_TRUE(area_is(*bar, s - 40, 22, s - 4, 22, color(Highlight)));
    EXPECT_TRUE(area_is(*bar, s - 4, 3, s - 4, 22, color(Highlight)));
    EXPECT_EQ(bar->at(s - 4, 2), color(Highlight));
    const auto text = glyphs(before, s - 40, ds.baseline);
    EXPECT_FALSE(text.empty());
    EXPECT_TRUE(text_area_is(*bar, text, s - 40, 3, s - 5, 21, color(Ink), color(FacePressed)));
    // Rows 0, 1 and 23 and the last three columns are not the clock's.
    EXPECT_TRUE(area_is(*bar, s - 41, 0, s - 1, 1, color(Ink)));
    EXPECT_TRUE(area_is(*bar, s - 41, 23, s - 1, 23, color(Ink)));
    EXPECT_TRUE(area_is(*bar, s - 3, 2, s - 1, 22, color(Ink)));
}

TEST_F(BarPieces, a_repainted_clock_leaves_no_trace_of_the_old_time)
{
    draw_clock(*panel);
    set_ink(Ink);
    fill_rect(*panel, s - 40, 2, 36, 20);  // a stale "time" all over the face
    std::string before;
    std::optional<Image> bar;
    do {
        before = clock_text();
        draw_clock(*panel);
        bar = shot();
    } while (before != clock_text());
    const auto text = glyphs(before, s - 40, ds.baseline);
    EXPECT_TRUE(text_area_is(*bar, text, s - 40, 3, s - 5, 21, color(Ink), color(FacePressed)));
}

// ---- Grip ---------------------------------------------------------------------

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
    for (int y = 0; y < PANEL_HEIGHT; ++y)
        for (int x = s - 8; x < s; ++x) {
            unsigned long expected = color(Face);
            if (shadow.count({x, y}))
                expected = color(Shadow);
            else if (highlight.count({x, y}))
                expected = color(Highlight);
            ASSERT_EQ(bar.at(x, y), expected) << x << ", " << y;
        }
    EXPECT_EQ(bar.at(s - 2, 22), color(Highlight));  // the lowest highlight
}

TEST_F(BarPieces, a_grip_dot_is_shadow_with_highlight_below_right)
{
    draw_grip_dot(panel->window, 500, 10);
    const Image bar = shot();
    EXPECT_EQ(bar.at(500, 10), color(Shadow));
    EXPECT_EQ(bar.at(501, 11), color(Highlight));
    EXPECT_EQ(bar.count(color(Shadow)) + bar.count(color(Highlight)), 2);
}

}  // namespace
