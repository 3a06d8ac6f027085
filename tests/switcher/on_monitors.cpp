// The pop-up opened near the edge of the smaller of two heads lies wholly
// on that head, and its rows still count from its top.
#include "switcher_fixture.hpp"

namespace {

using namespace switcher_test;

struct TwoHeadSwitcher : SwitcherTest {
    ServerOptions server_options() const override
    {
        return {.width = 1600, .height = 1200, .nested_xephyr = {"+xinerama", "-screen", "640x480", "-screen", "800x600"}};
    }
};

TEST_F(TwoHeadSwitcher, opened_ten_pixels_from_a_heads_edge_it_shows_its_whole_list_on_that_head)
{
    client("alpha");
    client("beta");
    client("gamma");
    // Xephyr keeps the pointer on the first head, whose right edge is not the
    // screen's. The first click raises "beta" to the top of the stack.
    for (const auto& [x, y, lines] : {std::tuple{630, 200, std::vector<std::string>{"alpha", "beta", "gamma"}},
                                      std::tuple{200, 470, std::vector<std::string>{"alpha", "gamma", "beta"}}}) {
        start_switcher(x, y);
        ASSERT_TRUE(popup_shows(lines)) << x << "," << y;
        // Moved just enough: its far corner on the head's edge, or at the pointer.
        // The pop-up draws its rows before it fits itself, so the move may
        // come after the list shows.
        Geometry g{};
        EXPECT_TRUE(wait_until([&] {
            g = geometry(dpy, popup).value();
            return g.x == std::min(x, 640 - g.width - 2 * g.border_width) &&
                   g.y == std::min(y, 480 - g.height - 2 * g.border_width);
        })) << "pop-up at " << g.x << "," << g.y << ", " << g.width << "x" << g.height;
        click_inside(17);  // the second row, counted from the pop-up's top
        ASSERT_EQ(exit_status(), 0);
        EXPECT_EQ(switcher->stderr_text(), "raising 2");
        switcher.reset();
    }
}

}  // namespace
