// Presses on the desktop and client buttons of a running panel-lite.
#include "input_running_panel.hpp"

namespace {

class Presses : public RunningPanel {
protected:
    void SetUp() override
    {
        RunningPanel::SetUp();
        if (HasFatalFailure())
            return;
        start("panel-lite");
        clients = show_three_clients();
    }

    void click_client(int index) { click_bar(slot(index).left + 20, 12); }
    // Once the bar has collapsed, every press before has been handled.
    void collapse_after_earlier_presses()
    {
        click_bar(500, 23);
        ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    }
    bool above(Window upper, Window lower)
    {
        const auto order = stacking_order(dpy);
        return std::find(order.begin(), order.end(), upper) > std::find(order.begin(), order.end(), lower);
    }

    std::vector<Window> clients;
};

}  // namespace

TEST_F(Presses, a_button_raises_and_focuses_then_minimises_without_a_focus_request_then_restores)
{
    wm->answer_iconify(true);
    click_client(1);
    ASSERT_TRUE(wait_until([&] { return focused_window(dpy) == clients[1] && looks_pressed(1); }));
    EXPECT_TRUE(above(clients[1], clients[2]));

    // Focus a window the bar does not track: a focus request would show.
    const Window elsewhere = wm->create_client({});
    XSetInputFocus(dpy, elsewhere, RevertToNone, CurrentTime);
    click_client(1);
    const auto iconify = wm->wait_for_message("WM_CHANGE_STATE");
    ASSERT_TRUE(iconify);
    EXPECT_EQ(iconify->window, clients[1]);
    EXPECT_EQ(iconify->data[0], IconicState);
    ASSERT_TRUE(wait_until([&] { return !geometry(dpy, clients[1])->viewable() && looks_raised(1); }));
    EXPECT_EQ(focused_window(dpy), elsewhere);

    wm->create_client({});  // now on top
    click_client(1);
    EXPECT_TRUE(wait_until([&] { return geometry(dpy, clients[1])->viewable(); }));
    EXPECT_TRUE(wait_until([&] { return focused_window(dpy) == clients[1] && looks_pressed(1); }));
    EXPECT_EQ(stacking_order(dpy).back(), clients[1]);
}

TEST_F(Presses, column_48_a_separator_and_the_column_past_a_button_hit_nothing_and_release_the_pressed_one)
{
    click_client(0);
    ASSERT_TRUE(wait_until([&] { return looks_pressed(0); }));
    click_bar(48, 12);
    ASSERT_TRUE(wait_until([&] { return looks_raised(0); }));

    click_bar(slot(1).left, 12);
    click_bar(slot(1).left + slot(1).width, 12);
    click_client(2);  // handled after the two before it
    ASSERT_TRUE(wait_until([&] { return looks_pressed(2); }));
    EXPECT_TRUE(looks_raised(1));
    EXPECT_TRUE(above(clients[0], clients[1]));  // the middle window was never raised
    collapse_after_earlier_presses();
    EXPECT_TRUE(messages("_WIN_WORKSPACE").empty());
    EXPECT_EQ(launched(), 0);
}

TEST_F(Presses, a_desktop_button_asks_for_its_desktop_and_releases_the_pressed_button)
{
    click_client(0);
    ASSERT_TRUE(wait_until([&] { return looks_pressed(0); }));
    click_bar(48 + 3 * 24 + 12, 12);
    const auto request = wm->wait_for_message("_WIN_WORKSPACE");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->window, root);
    EXPECT_EQ(request->format, 32);
    const long expected[5] = {3, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(expected, expected + 5, request->data));
    EXPECT_TRUE(wait_until([&] { return looks_raised(0); }));
}

TEST_F(Presses, a_desktop_press_in_the_collapse_band_asks_and_collapses_and_a_press_on_the_strip_asks_and_expands)
{
    click_client(1);
    ASSERT_TRUE(wait_until([&] { return looks_pressed(1); }));
    click_bar(48 + 2 * 24 + 12, 23);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    // The pointer now rests on the strip: the press comes without a motion
    // that would expand the bar first.
    click(dpy);
    ASSERT_TRUE(wait_until([&] { return expanded_bottom(); }));
    const auto requests = messages("_WIN_WORKSPACE");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].data[0], 2);
    EXPECT_EQ(requests[1].data[0], 2);
    // The re-exposed bar shows the flags: the button was left pressed.
    EXPECT_TRUE(wait_until([&] { return looks_pressed(1); }));
}

TEST_F(Presses, only_desktops_below_the_published_count_are_asked_for)
{
    // The bar keeps its four buttons until its next whole repaint.
    wm->set_win_workspace_count(2);
    click_bar(48 + 3 * 24 + 12, 12);
    click_bar(48 + 1 * 24 + 12, 12);
    // Both presses are handled before the count changes again.
    ASSERT_TRUE(wait_until([&] { return messages("_WIN_WORKSPACE").size() == 1; }));
    // A count that holds no item bounds nothing.
    wm->set_root_property("_WIN_WORKSPACE_COUNT", "CARDINAL", 32, {});
    click_bar(48 + 3 * 24 + 12, 12);
    collapse_after_earlier_presses();
    const auto requests = messages("_WIN_WORKSPACE");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].data[0], 1);
    EXPECT_EQ(requests[1].data[0], 3);
}
