// The bar's window as other clients see it: its colour, its hints, its
// event mask; its placement for each pair of flags; the font it draws in.
#include "kit_test.hpp"
#include "display_state.hpp"
#include "look.hpp"
#include "fresh_display_state.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace kit_test;

namespace {

class RunningPanel : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        program_.emplace(program_path("panel"));
        const auto found = wait_for_panel_window(dpy);
        ASSERT_TRUE(found) << program_->stderr_text();
        bar = *found;
    }
    void TearDown() override
    {
        program_.reset();
        XServerTest::TearDown();
    }

    std::optional<Program> program_;
    Window bar = None;
};

}  // namespace

TEST_F(RunningPanel, the_bar_is_cleared_to_the_face_colour)
{
    const unsigned long face = panel_pixel(dpy, PanelColor::Face);
    // Left of the "Start" label, the empty middle and the last column are
    // never drawn on, so they show the window's background.
    bool cleared = wait_until([&] {
        const auto image = capture(dpy, bar);
        return image && image->count(face, 0, 0, 8, 24) == 8 * 24 &&
               image->count(face, 60, 0, 900, 24) == 900 * 24 &&
               image->count(face, 1023, 0, 1, 24) == 24;
    });
    EXPECT_TRUE(cleared);
}

TEST_F(RunningPanel, the_bar_asks_for_no_frame_every_desktop_and_no_focus)
{
    struct Expected {
        const char* name;
        const char* type;
        std::vector<long> items;
    };
    std::vector<long> size_hints(18, 0);
    size_hints[0] = PPosition;
    std::vector<long> wm_hints(9, 0);
    wm_hints[0] = InputHint;  // and input False
    const Expected expected[] = {
        {"_WIN_LAYER", "CARDINAL", {10}},
        {"_WIN_STATE", "CARDINAL", {257}},
        {"_WIN_HINTS", "CARDINAL", {39}},
        {"_MOTIF_WM_HINTS", "_MOTIF_WM_HINTS", {2, 0, 0, 0, 0}},
        {"WM_NORMAL_HINTS", "WM_SIZE_HINTS", size_hints},
        {"WM_HINTS", "WM_HINTS", wm_hints},
    };
    for (const auto& property : expected) {
        SCOPED_TRACE(property.name);
        const auto read = property32(dpy, bar, property.name);
        ASSERT_TRUE(read);
        EXPECT_EQ(atom_name(dpy, read->type), property.type);
        EXPECT_EQ(read->items, property.items);
    }

    // Xlib's own readers agree: only the position is program-specified,
    // and the window takes no keyboard input.
    XSizeHints normal{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(dpy, bar, &normal, &supplied));
    EXPECT_EQ(normal.flags, PPosition);
    XWMHints* hints = XGetWMHints(dpy, bar);
    ASSERT_NE(hints, nullptr);
    EXPECT_EQ(hints->flags, InputHint);
    EXPECT_EQ(hints->input, False);
    XFree(hints);

    // No name, class or protocols: besides the six above, only the same
    // wishes spelled for today's window managers are set on the bar.
    int count = 0;
    Atom* names = XListProperties(dpy, bar, &count);
    std::set<std::string> listed;
    for (int i = 0; i < count; ++i)
        listed.insert(kit_test::atom_name(dpy, names[i]));
    if (names)
        XFree(names);
    EXPECT_EQ(listed, (std::set<std::string>{
                          "_WIN_LAYER", "_WIN_STATE", "_WIN_HINTS", "_MOTIF_WM_HINTS",
                          "WM_NORMAL_HINTS", "WM_HINTS", "_NET_WM_WINDOW_TYPE",
                          "_NET_WM_DESKTOP", "_NET_WM_STATE", "_NET_WM_STRUT",
                          "_NET_WM_STRUT_PARTIAL"}));
}

TEST_F(RunningPanel, the_bar_listens_for_exposure_presses_and_motion_only)
{
    // Nobody else selects on the bar, so the union is the panel's own mask.
    EXPECT_EQ(all_event_masks(dpy, bar), ExposureMask | ButtonPressMask | PointerMotionMask);
    // And the root gets the panel's property-change selection.
    EXPECT_TRUE(all_event_masks(dpy, root) & PropertyChangeMask);
}

// ---- In-process: the panel's own start-up code against the private server.

namespace {

class PanelInProcess : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        ASSERT_TRUE(connect_display());
        ASSERT_TRUE(init_look());
        panel = create_panel();
        ASSERT_NE(panel, nullptr);
        flush_and_wait();
    }
    void TearDown() override
    {
        release_display_state();
        delete panel;
        XServerTest::TearDown();
    }

    // The full name the server gives a font (its FONT property).
    std::string font_name(XFontStruct* font)
    {
        unsigned long value = 0;
        if (!font || !XGetFontProperty(font, XA_FONT, &value))
            return {};
        return atom_name(dpy, value);
    }

    std::string loaded_name(const char* pattern)
    {
        XFontStruct* font = XLoadQueryFont(dpy, pattern);
        std::string name = font_name(font);
        if (font)
            XFreeFont(dpy, font);
        return name;
    }

    Panel* panel = nullptr;
};

class PanelInProcessWithBuiltInFonts : public PanelInProcess {
protected:
    ServerOptions server_options() const override { return {.font_path = "built-ins"}; }
};

}  // namespace

TEST_F(PanelInProcess, each_placement_gives_its_edge_and_height)
{
    struct Case {
        bool collapsed, top_edge;
        int y, height;
    };
    const Case cases[] = {
        {false, false, 744, 24},
        {false, true, 0, 24},
        {true, false, 766, 2},
        {true, true, 0, 2},
        {false, false, 744, 24},  // and back again
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "collapsed " << c.collapsed << ", top " << c.top_edge);
        panel->collapsed = c.collapsed;
        panel->top_edge = c.top_edge;
        place_panel(*panel);
        place_panel(*panel);  // the same flags twice leave it where it was
        flush_and_wait();
        const auto where = geometry(dpy, panel->window);
        ASSERT_TRUE(where);
        EXPECT_EQ(where->x, 0);
        EXPECT_EQ(where->y, c.y);
        EXPECT_EQ(where->width, 1024);
        EXPECT_EQ(where->height, c.height);
        EXPECT_TRUE(where->viewable());
    }
}

TEST_F(PanelInProcess, the_bar_draws_in_the_lucida_font_when_the_server_has_it)
{
    const std::string lucida = loaded_name("-*-lucida*-m*-r-*-*-12-*-*");
    ASSERT_NE(lucida, "") << "xfonts-75dpi should supply the bar's font";
    EXPECT_EQ(font_name(ds.font), lucida);
    EXPECT_EQ(ds.baseline, ds.font->ascent + (24 - ds.font->ascent) / 2);
}

TEST_F(PanelInProcessWithBuiltInFonts, the_bar_draws_in_fixed_without_lucida)
{
    EXPECT_EQ(font_name(ds.font), loaded_name("fixed"));
    EXPECT_NE(font_name(ds.font), "");
}
