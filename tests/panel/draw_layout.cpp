// The whole bar: the desktop strip, where the client buttons go, the rest,
// and a bar that stays sane with too many desktops or records.
#include "draw_fixture.hpp"

namespace {

using draw_test::area_is;
using draw_test::Image;

class BarLayout : public draw_test::BarTest {
protected:
    void add_clients(int count)
    {
        for (int i = 0; i < count; ++i)
            add_client("");
    }

    void expect_desktop_button(const Image& bar, int i, bool current)
    {
        const int x0 = 48 + 24 * i;
        const char label = static_cast<char>('1' + i);
        const auto text = glyphs(std::string(1, label),
                                 x0 - (XTextWidth(ds.font, &label, 1) / 2 - 12), ds.baseline);
        ASSERT_FALSE(text.empty()) << i;
        if (current) {
            EXPECT_TRUE(area_is(bar, x0 + 2, 1, x0 + 2, 22, color(Shadow))) << i;
            EXPECT_TRUE(area_is(bar, x0 + 3, 1, x0 + 22, 1, color(Shadow))) << i;
            EXPECT_TRUE(area_is(bar, x0 + 3, 22, x0 + 22, 22, color(Highlight))) << i;
            EXPECT_TRUE(area_is(bar, x0 + 22, 2, x0 + 22, 21, color(Highlight))) << i;
            EXPECT_TRUE(area_is(bar, x0 + 3, 2, x0 + 21, 21, color(FacePressed), text, color(Ink)));
        } else {
            EXPECT_TRUE(area_is(bar, x0 + 2, 1, x0 + 22, 22, color(Face), text, color(Ink))) << i;
        }
        expect_groove(bar, x0 + 24);
    }

    void expect_groove(const Image& bar, int x)
    {
        EXPECT_TRUE(area_is(bar, x, 0, x, 23, color(Shadow))) << "groove at " << x;
        EXPECT_TRUE(area_is(bar, x + 1, 0, x + 1, 23, color(Highlight))) << "groove at " << x;
    }

    // What every repaint ends with: Start, the fixed grooves, clock and grip.
    void expect_frame(const Image& bar)
    {
        for (const auto& [x, y] : glyphs("Start", 10, 17))
            ASSERT_EQ(bar.at(x, y), color(Ink)) << "Start at " << x << ", " << y;
        expect_groove(bar, 48);
        expect_groove(bar, ds.pager_width + 52);
        expect_groove(bar, s - 43);
        EXPECT_EQ(ds.clock_left, s - 43);
        EXPECT_EQ(bar.at(s - 6, 3), color(Shadow));
        EXPECT_EQ(bar.at(s - 2, 22), color(Highlight));
    }
};

TEST_F(BarLayout, desktop_buttons_show_the_current_one_sunken)
{
    set_desktop_count(4);
    panel->desktop = 2;
    draw_desktop_buttons(*panel);
    EXPECT_EQ(ds.pager_width, 96);
    const Image bar = shot();
    for (int i = 0; i < 4; ++i)
        expect_desktop_button(bar, i, i == 2);

    panel->desktop = 4;  // beyond the count: nothing sunken
    draw_desktop_buttons(*panel);
    expect_desktop_button(shot(), 2, false);
}

TEST_F(BarLayout, the_tenth_desktop_is_labelled_with_a_colon)
{
    set_desktop_count(10);
    redraw_panel(*panel);
    EXPECT_EQ(ds.pager_width, 240);
    const Image bar = shot();
    expect_desktop_button(bar, 0, true);
    expect_desktop_button(bar, 9, false);
    expect_frame(bar);
}

TEST_F(BarLayout, no_count_or_a_count_of_zero_or_one_gives_no_strip)
{
    const Atom count = kit_test::atom(dpy, "_WIN_WORKSPACE_COUNT");
    add_client("");
    for (std::optional<long> value : {std::optional<long>{}, std::optional<long>{0}, {1}}) {
        XDeleteProperty(dpy, root, count);
        if (value)
            set_desktop_count(*value);
        kit_test::sync(dpy);
        redraw_panel(*panel);
        EXPECT_EQ(ds.pager_width, 0);
        EXPECT_EQ(records[0].button_left, 52);
        expect_frame(shot());
    }
    // Data of another format or type counts as no count at all.
    const unsigned char bytes[2] = {9, 9};
    XChangeProperty(dpy, root, count, XA_CARDINAL, 8, PropModeReplace, bytes, 2);
    kit_test::sync(dpy);
    draw_desktop_buttons(*panel);
    EXPECT_EQ(ds.pager_width, 0);
}

TEST_F(BarLayout, a_huge_desktop_count_shows_only_the_buttons_left_of_the_clock)
{
    set_desktop_count(0xFFFFFFFFL);
    add_clients(30);  // more than the pixels left: none fit
    cover_bar(Ink);
    redraw_panel(*panel);

    const int shown = desktop_buttons_shown(0xFFFFFFFFu, s);
    ASSERT_GT(shown, 30);
    EXPECT_EQ(ds.pager_width, 24 * shown);
    const Image bar = shot();
    expect_desktop_button(bar, shown - 1, false);
    expect_frame(bar);
    EXPECT_TRUE(area_is(bar, ds.pager_width + 54, 0, s - 44, 23, color(Face)));
    for (const TrackedWindow& record : records)
        EXPECT_EQ(record.button_width, 0);
}

TEST_F(BarLayout, three_clients_beside_four_desktops_get_capped_slots_and_a_rest)
{
    set_desktop_count(4);
    add_clients(3);
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(records[k].button_left, 148 + 145 * k);
        EXPECT_EQ(records[k].button_width, 144);
        EXPECT_TRUE(area_is(bar, 148 + 145 * k, 0, 148 + 145 * k, 23, color(Shadow)));
    }
    expect_groove(bar, 583);
    EXPECT_TRUE(area_is(bar, 585, 0, s - 44, 23, color(Face)));
    expect_frame(bar);
}

TEST_F(BarLayout, ten_clients_fill_the_room_without_a_rest)
{
    set_desktop_count(4);
    add_clients(10);
    cover_bar(Ink);
    redraw_panel(*panel);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(records[k].button_left, 148 + 83 * k);
        EXPECT_EQ(records[k].button_width, 82);
    }
    const Image bar = shot();
    EXPECT_TRUE(area_is(bar, 978, 0, 980, 23, color(Ink)));  // after the last slot: untouched
    expect_frame(bar);
}

TEST_F(BarLayout, no_clients_leave_a_groove_and_face_after_the_strip)
{
    set_desktop_count(4);
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();
    expect_groove(bar, 148);
    EXPECT_TRUE(area_is(bar, 150, 0, s - 44, 23, color(Face)));
    expect_frame(bar);
}

TEST_F(BarLayout, more_records_than_pixels_show_the_first_that_fit_and_hide_the_others)
{
    add_clients(2000);
    records[40].active = true;
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();

    const int shown = (s - 91) / OVERFLOW_BUTTON_STEP;
    for (int i = 0; i < 2000; ++i) {
        // Width 0: no x lies strictly between left and left + width.
        const int left = i < shown ? 52 + OVERFLOW_BUTTON_STEP * i : 0;
        const int width = i < shown ? OVERFLOW_BUTTON_STEP - 1 : 0;
        ASSERT_EQ(records[i].button_left, left) << i;
        ASSERT_EQ(records[i].button_width, width) << i;
    }
    const int rest = 52 + OVERFLOW_BUTTON_STEP * shown;
    expect_groove(bar, rest);
    EXPECT_TRUE(area_is(bar, rest + 2, 0, s - 44, 23, color(Face)));
    expect_frame(bar);

    // Repainting a hidden button alone, as a focus change would, draws nothing.
    draw_client_button(*panel, records[40]);
    EXPECT_EQ(shot().count(color(Ink)), bar.count(color(Ink)));
}

TEST_F(BarLayout, one_pixel_slots_never_spill_a_fill_across_the_bar)
{
    add_clients(s - 91);  // step 1: every button 0 wide
    cover_bar(Ink);
    redraw_panel(*panel);
    EXPECT_EQ(records.back().button_left, s - 40);
    EXPECT_EQ(records.back().button_width, 0);
    const Image bar = shot();
    EXPECT_TRUE(area_is(bar, s - 36, 0, s - 8, 1, color(Ink)));  // no one draws there
}

template <int Width>
class BarOfWidth : public draw_test::BarTest {
protected:
    kit_test::ServerOptions server_options() const override
    {
        kit_test::ServerOptions options;
        options.width = Width;
        return options;
    }
};
using BarWithExactSteps = BarOfWidth<435 + 91>;  // 3 clients: step 145
using BarWithWiderSteps = BarOfWidth<438 + 91>;  // 3 clients: step 146

TEST_F(BarWithExactSteps, a_step_of_exactly_145_has_no_rest)
{
    for (int i = 0; i < 3; ++i)
        add_client("");
    cover_bar(Ink);
    redraw_panel(*panel);
    EXPECT_EQ(records[2].button_left, 52 + 290);
    EXPECT_EQ(records[2].button_width, 144);
    // The last button ends at S - 40; right of it rows 0, 1, 23 stay untouched.
    const Image bar = shot();
    EXPECT_EQ(bar.at(s - 40, 0), color(Highlight));
    EXPECT_EQ(bar.at(s - 40, 23), color(FacePressed));
    EXPECT_TRUE(area_is(bar, s - 39, 0, s - 1, 1, color(Ink)));
    EXPECT_TRUE(area_is(bar, s - 39, 23, s - 1, 23, color(Ink)));
}

TEST_F(BarWithWiderSteps, a_step_of_146_is_cut_to_145_with_a_rest)
{
    for (int i = 0; i < 3; ++i)
        add_client("");
    cover_bar(Ink);
    redraw_panel(*panel);
    EXPECT_EQ(records[2].button_left, 52 + 290);
    EXPECT_EQ(records[2].button_width, 144);
    // The rest's groove lies under the clock's; its face shows from S - 40.
    const Image bar = shot();
    EXPECT_TRUE(area_is(bar, s - 40, 0, s - 1, 1, color(Face)));
    EXPECT_TRUE(area_is(bar, s - 40, 23, s - 1, 23, color(Face)));
}

}  // namespace
