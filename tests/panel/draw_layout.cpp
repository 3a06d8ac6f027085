// The whole bar: desktop buttons, where the client buttons go, the rest,
// and what stays sane with too many desktops or records.
#include "draw_fixture.hpp"

namespace {

using draw_test::area_is;
using draw_test::text_area_is;
using kit_test::Image;

class BarLayout : public draw_test::BarTest {
protected:
    void add_clients(int count)
    {
        for (int i = 0; i < count; ++i)
            add_client("");
    }

    // The pixels of desktop button i, label and look included.
    void expect_desktop_button(const Image& bar, int i, bool current)
    {
        const int x0 = 48 + 24 * i;
        const char label = static_cast<char>('1' + i);
        const int label_x = x0 - (XTextWidth(ds.font, &label, 1) / 2 - 12);
        const auto text = glyphs(std::string(1, label), label_x, ds.baseline);
        ASSERT_FALSE(text.empty()) << i;
        if (current) {
            EXPECT_TRUE(area_is(bar, x0 + 2, 1, x0 + 2, 22, color(Shadow))) << i;
            EXPECT_TRUE(area_is(bar, x0 + 3, 1, x0 + 22, 1, color(Shadow))) << i;
            EXPECT_TRUE(area_is(bar, x0 + 3, 22, x0 + 22, 22, color(Highlight))) << i;
            EXPECT_TRUE(area_is(bar, x0 + 22, 2, x0 + 22, 21, color(Highlight))) << i;
            EXPECT_TRUE(text_area_is(bar, text, x0 + 3, 2, x0 + 21, 21, color(Ink),
                                     color(FacePressed)))
                << i;
        } else {
            EXPECT_TRUE(text_area_is(bar, text, x0 + 2, 1, x0 + 22, 22, color(Ink), color(Face)))
                << i;
        }
        // Its right groove.
        EXPECT_TRUE(area_is(bar, x0 + 24, 0, x0 + 24, 23, color(Shadow))) << i;
        EXPECT_TRUE(area_is(bar, x0 + 25, 0, x0 + 25, 23, color(Highlight))) << i;
    }

    void expect_groove(const Image& bar, int x)
    {
        EXPECT_TRUE(area_is(bar, x, 0, x, 23, color(Shadow))) << "groove at " << x;
        EXPECT_TRUE(area_is(bar, x + 1, 0, x + 1, 23, color(Highlight))) << "groove at " << x;
    }

    // A client button's groove: its bottom line takes the highlight's last row.
    void expect_button_groove(const Image& bar, int x)
    {
        EXPECT_TRUE(area_is(bar, x, 0, x, 23, color(Shadow))) << "button at " << x;
        EXPECT_TRUE(area_is(bar, x + 1, 0, x + 1, 22, color(Highlight))) << "button at " << x;
        EXPECT_EQ(bar.at(x + 1, 23), color(FacePressed)) << "button at " << x;
    }

    // The fixed parts every repaint ends with.
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

// ---- Desktop buttons ----------------------------------------------------------

TEST_F(BarLayout, four_desktops_show_four_buttons_with_the_current_one_sunken)
{
    set_desktop_count(4);
    panel->desktop = 2;
    draw_desktop_buttons(*panel);
    EXPECT_EQ(ds.pager_width, 96);
    const Image bar = shot();
    for (int i = 0; i < 4; ++i)
        expect_desktop_button(bar, i, i == 2);
}

TEST_F(BarLayout, the_tenth_desktop_is_labelled_with_a_colon)
{
    set_desktop_count(10);
    redraw_panel(*panel);
    EXPECT_EQ(ds.pager_width, 240);
    const Image bar = shot();
    expect_desktop_button(bar, 0, true);
    expect_desktop_button(bar, 8, false);
    expect_desktop_button(bar, 9, false);
    expect_frame(bar);
}

TEST_F(BarLayout, a_current_desktop_beyond_the_count_sinks_no_button)
{
    set_desktop_count(3);
    panel->desktop = 3;
    draw_desktop_buttons(*panel);
    const Image bar = shot();
    for (int i = 0; i < 3; ++i)
        expect_desktop_button(bar, i, false);
}

TEST_F(BarLayout, one_desktop_none_or_no_count_gives_no_strip)
{
    struct Case {
        const char* name;
        std::optional<long> count;
    };
    for (const Case& c : {Case{"missing", std::nullopt}, Case{"zero", 0L}, Case{"one", 1L}}) {
        XDeleteProperty(dpy, root, kit_test::atom(dpy, "_WIN_WORKSPACE_COUNT"));
        if (c.count)
            set_desktop_count(*c.count);
        kit_test::sync(dpy);
        cover_bar(Ink);
        add_client("");
        redraw_panel(*panel);
        EXPECT_EQ(ds.pager_width, 0) << c.name;
        EXPECT_EQ(panel->first_client->button_left, 52) << c.name;
        const Image bar = shot();
        expect_frame(bar);
        records.clear();
        panel->first_client = nullptr;
        panel->client_count = 0;
    }
}

TEST_F(BarLayout, a_desktop_count_of_another_format_or_type_gives_no_strip)
{
    const Atom count_atom = kit_test::atom(dpy, "_WIN_WORKSPACE_COUNT");
    const unsigned char bytes[2] = {9, 9};
    XChangeProperty(dpy, root, count_atom, XA_CARDINAL, 8, PropModeReplace, bytes, 2);
    kit_test::sync(dpy);
    draw_desktop_buttons(*panel);
    EXPECT_EQ(ds.pager_width, 0);

    long nine = 9;
    XChangeProperty(dpy, root, count_atom, XA_INTEGER, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&nine), 1);
    kit_test::sync(dpy);
    draw_desktop_buttons(*panel);
    EXPECT_EQ(ds.pager_width, 0);
}

TEST_F(BarLayout, a_huge_desktop_count_shows_only_the_buttons_left_of_the_clock)
{
    set_desktop_count(0xFFFFFFFFL);
    add_clients(2);
    cover_bar(Ink);
    redraw_panel(*panel);

    const int shown = desktop_buttons_shown(0xFFFFFFFFu, s);
    EXPECT_EQ(ds.pager_width, 24 * shown);
    EXPECT_GT(shown, 30);
    const Image bar = shot();
    expect_desktop_button(bar, 0, true);
    expect_desktop_button(bar, shown - 1, false);
    expect_frame(bar);
    EXPECT_LT(ds.pager_width + 53, s - 43);
    // The client area that is left still holds only sane slots.
    for (const TrackedWindow& record : records) {
        EXPECT_GE(record.button_width, 0);
        if (record.button_width > 0) {
            EXPECT_GE(record.button_left, ds.pager_width + 52);
            EXPECT_LE(record.button_left + record.button_width, s - 40);
        }
    }
}

TEST_F(BarLayout, start_is_written_at_y_17_on_the_bare_face)
{
    redraw_panel(*panel);
    const auto start = glyphs("Start", 10, 17);
    EXPECT_FALSE(start.empty());
    EXPECT_TRUE(text_area_is(shot(), start, 0, 0, 47, 23, color(Ink), color(Face)));
}

// ---- Client buttons and the rest ----------------------------------------------

TEST_F(BarLayout, three_clients_beside_four_desktops_get_capped_slots_and_a_rest)
{
    set_desktop_count(4);
    add_clients(3);
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();

    int expected_left = 148;
    for (const TrackedWindow& record : records) {
        EXPECT_EQ(record.button_left, expected_left);
        EXPECT_EQ(record.button_width, 144);
        if (record.button_left != 148)  // the strip's closing groove is drawn over the first
            expect_button_groove(bar, record.button_left);
        expected_left += 145;
    }
    expect_groove(bar, 583);
    EXPECT_TRUE(area_is(bar, 585, 0, s - 44, 23, color(Face)));
    expect_frame(bar);
    for (int i = 0; i < 4; ++i)
        expect_desktop_button(bar, i, i == 0);
}

TEST_F(BarLayout, ten_clients_fill_the_room_without_a_rest)
{
    set_desktop_count(4);
    add_clients(10);
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();

    int k = 0;
    for (const TrackedWindow& record : records) {
        EXPECT_EQ(record.button_left, 148 + 83 * k);
        EXPECT_EQ(record.button_width, 82);
        ++k;
    }
    // No rest: the columns after the last slot keep what was there.
    EXPECT_TRUE(area_is(bar, 978, 5, 980, 20, color(Ink)));
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

TEST_F(BarLayout, a_record_without_a_title_keeps_its_slot_but_shows_nothing)
{
    add_client("");
    add_client(std::nullopt);
    add_client("");
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();
    EXPECT_EQ(records[1].button_left, 52 + 145);
    EXPECT_TRUE(area_is(bar, 52 + 145, 0, 52 + 2 * 145 - 1, 23, color(Ink)));
    expect_button_groove(bar, 52 + 2 * 145);
}

TEST_F(BarLayout, more_records_than_pixels_show_the_first_that_fit_and_hide_the_others)
{
    const int count = 2000;
    add_clients(count);
    records[40].active = true;  // hidden and active: still never drawn
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();

    const ClientLayout layout = layout_client_buttons(s, 0, count);
    ASSERT_GT(layout.shown, 0);
    ASSERT_LT(layout.shown, 41);
    for (int i = 0; i < count; ++i) {
        const TrackedWindow& record = records[i];
        if (i < layout.shown) {
            EXPECT_EQ(record.button_left, 52 + OVERFLOW_BUTTON_STEP * i);
            EXPECT_EQ(record.button_width, OVERFLOW_BUTTON_STEP - 1);
        } else {
            // Width 0: no x lies strictly between left and left + width.
            ASSERT_EQ(record.button_width, 0) << i;
        }
    }
    const int rest = 52 + OVERFLOW_BUTTON_STEP * layout.shown;
    EXPECT_LE(rest + 1, s - 44);
    expect_groove(bar, rest);
    EXPECT_TRUE(area_is(bar, rest + 2, 0, s - 44, 23, color(Face)));
    expect_frame(bar);

    // Repainting a hidden button alone (as a focus change would) draws nothing.
    draw_client_button(*panel, records[40]);
    const Image again = shot();
    EXPECT_EQ(again.count(color(Ink)), bar.count(color(Ink)));
    EXPECT_TRUE(area_is(again, rest + 2, 0, s - 44, 23, color(Face)));
}

TEST_F(BarLayout, one_pixel_slots_never_spill_a_fill_across_the_bar)
{
    add_clients(s - 91);  // step 1, buttons 0 wide
    for (int i = 0; i < s - 91; i += 3)
        records[i].active = true;
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();
    EXPECT_EQ(records.back().button_left, 52 + s - 92);
    EXPECT_EQ(records.back().button_width, 0);
    // Rows 0, 1 and 23 over the clock belong to nothing drawn here.
    EXPECT_TRUE(area_is(bar, s - 36, 0, s - 8, 1, color(Ink)));
    EXPECT_TRUE(area_is(bar, s - 36, 23, s - 8, 23, color(Ink)));
}

// ---- The cap at 145 -------------------------------------------------------------

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

using BarWithExactSteps = BarOfWidth<435 + 91>;  // 3 clients: room 435, step 145
using BarWithWiderSteps = BarOfWidth<438 + 91>;  // 3 clients: room 438, step 146

TEST_F(BarWithExactSteps, a_step_of_exactly_145_has_no_rest)
{
    for (int i = 0; i < 3; ++i)
        add_client("");
    cover_bar(Ink);
    redraw_panel(*panel);
    const Image bar = shot();
    EXPECT_EQ(records[2].button_left, 52 + 290);
    EXPECT_EQ(records[2].button_width, 144);
    // The last button ends at S - 40, under the clock but for rows 0, 1, 23;
    // right of it nothing clears those rows.
    EXPECT_EQ(bar.at(s - 40, 0), color(Highlight));
    EXPECT_EQ(bar.at(s - 40, 1), color(Face));
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
    const Image bar = shot();
    EXPECT_EQ(records[2].button_left, 52 + 290);
    EXPECT_EQ(records[2].button_width, 144);
    // The rest's groove at 487 lies under the clock's; its face from 489 = S - 40.
    EXPECT_TRUE(area_is(bar, s - 40, 0, s - 1, 1, color(Face)));
    EXPECT_TRUE(area_is(bar, s - 40, 23, s - 1, 23, color(Face)));
    EXPECT_EQ(bar.at(s - 43, 0), color(Shadow));
}

}  // namespace
