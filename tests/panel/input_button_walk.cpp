// A press on the client buttons, with the panel's code in this process, so
// that the flags and repaints can be read before any focus event arrives
// to tidy up after the press.
#include "tracking_in_process.hpp"

// The harness has an input.hpp of its own (XTEST), found first on the path.
#include "../../panel/input.hpp"

#include <X11/Xutil.h>

namespace {

class ButtonWalk : public InProcessPanel {
protected:
    void SetUp() override
    {
        InProcessPanel::SetUp();
        if (HasFatalFailure())
            return;
        a = client();
        b = client();
        c = client();
        wm->set_net_client_list({a, b, c});
        root_changed(NetClientList);
        paint_and_mark();
    }

    void press(Window window, int dx = 20)
    {
        on_button_press(*panel, record(window).button_left + dx, 12);
        flush_and_wait();
    }

    Window a = None, b = None, c = None;
};

}  // namespace

TEST_F(ButtonWalk, the_walk_goes_on_past_the_hit_button_and_releases_a_later_pressed_one)
{
    record(c).active = true;
    press(a);
    EXPECT_EQ(active(), std::vector<Window>({a}));
    EXPECT_TRUE(repainted(a));
    EXPECT_TRUE(repainted(c));
    EXPECT_FALSE(repainted(b));  // its look did not change
}

TEST_F(ButtonWalk, a_press_that_hits_nothing_repaints_only_the_buttons_it_releases)
{
    record(b).active = true;
    on_button_press(*panel, 48, 12);
    flush_and_wait();
    EXPECT_TRUE(active().empty());
    EXPECT_TRUE(repainted(b));
    EXPECT_FALSE(repainted(a) || repainted(c));
}

TEST_F(ButtonWalk, a_press_on_a_separator_column_hits_no_button)
{
    press(b, 0);
    EXPECT_TRUE(active().empty());
    EXPECT_FALSE(repainted(a) || repainted(b) || repainted(c));
}

TEST_F(ButtonWalk, the_three_flag_transitions_and_their_requests)
{
    press(b);  // neither: raise, map and focus
    EXPECT_TRUE(record(b).active);
    EXPECT_FALSE(record(b).minimized);
    EXPECT_EQ(focused_window(dpy), b);

    focus(a);  // reported to nobody: the button stays pressed
    press(b);  // active: minimise, no focus request
    EXPECT_FALSE(record(b).active);
    EXPECT_TRUE(record(b).minimized);
    EXPECT_EQ(focused_window(dpy), a);
    const auto iconify = wm->wait_for_message("WM_CHANGE_STATE");
    ASSERT_TRUE(iconify);
    EXPECT_EQ(iconify->window, b);
    EXPECT_EQ(iconify->data[0], IconicState);

    wm->unmap(b);
    record(b).active = true;  // minimised wins, whatever the active flag says
    press(b);
    EXPECT_TRUE(record(b).active);
    EXPECT_FALSE(record(b).minimized);
    EXPECT_TRUE(geometry(dpy, b)->viewable());
    EXPECT_EQ(focused_window(dpy), b);
}
