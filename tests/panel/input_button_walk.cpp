// A press on the client buttons with the panel's code in this process, so
// the flags and repaints are read before a FocusIn could tidy up after it.
#include "tracking_in_process.hpp"

// The harness has an input.hpp of its own (XTEST), found first on the path.
#include "input.hpp"

TEST_F(InProcessPanel, a_press_walks_past_the_hit_button_and_repaints_exactly_the_changed_ones)
{
    const Window a = client(), b = client(), c = client();
    wm->set_net_client_list({a, b, c});
    root_changed(NetClientList);
    paint_and_mark();

    record(c).active = true;
    on_button_press(*panel, record(a).button_left + 20, 12);
    flush_and_wait();
    EXPECT_EQ(tracked(true), std::vector<Window>({a}));
    EXPECT_TRUE(repainted(a) && repainted(c));
    EXPECT_FALSE(repainted(b));
    EXPECT_EQ(focused_window(dpy), a);
}
