// The pop-up opened near the edge of one of two heads of different heights
// lies wholly on that head, and its rows still count from its top.
#include "switcher_fixture.hpp"

namespace {

using namespace switcher_test;

class TwoHeadSwitcher : public SwitcherTest {
protected:
    ServerOptions server_options() const override
    {
        return {.width = 1600, .height = 1200,
                .nested_xephyr = {"+xinerama", "-screen", "640x480", "-screen", "800x600"}};
    }
};

TEST_F(TwoHeadSwitcher, opened_ten_pixels_from_a_heads_edge_it_shows_its_whole_list_on_that_head)
{
    client("alpha");
    client("beta");
    client("gamma");
    struct Head {
        int x, y, width, height;
    };
    struct Case {
        int x, y;  // the pointer
        Head head;
        std::vector<std::string> lines;
    };
    // Xephyr keeps the pointer within the first head's size, so both cases
    // are on the first head, whose right edge is not the screen's.
    // The first case's click raises "beta" to the top of the stack.
    const Case cases[] = {{630, 200, {0, 0, 640, 480}, {"alpha", "beta", "gamma"}},
                          {200, 470, {0, 0, 640, 480}, {"alpha", "gamma", "beta"}}};
    for (const Case& c : cases) {
        start_switcher(c.x, c.y);
        ASSERT_TRUE(popup_shows(c.lines)) << c.x << "," << c.y;
        const Geometry g = geometry(dpy, popup).value();
        const int outer_width = g.width + 2 * g.border_width;
        const int outer_height = g.height + 2 * g.border_width;
        EXPECT_GE(g.x, c.head.x);
        EXPECT_LE(g.x + outer_width, c.head.x + c.head.width) << c.x;
        EXPECT_LE(g.y + outer_height, c.head.y + c.head.height) << c.y;
        // Moved only as far as needed: the pointer stays over the pop-up.
        EXPECT_EQ(std::min(c.x, c.head.x + c.head.width - outer_width), g.x);
        EXPECT_EQ(std::min(c.y, c.head.y + c.head.height - outer_height), g.y);

        click_inside(17);  // the second row, counted from the pop-up's top
        ASSERT_EQ(exit_status(), 0);
        EXPECT_EQ(switcher->stderr_text(), "raising 2");
        switcher.reset();
    }
}

}  // namespace
