// Presses on the desktop buttons and the client buttons of a running bar.
#include "input_running_panel.hpp"

using namespace running_panel;

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

    // Clicks a client button that does not look pressed, and waits until it does.
    void press_client(int index)
    {
        ASSERT_TRUE(looks_raised(slot(index, 3)));
        click_bar(slot(index, 3).left + 20, 12);
        ASSERT_TRUE(wait_until([&] { return looks_pressed(slot(index, 3)); }));
    }

    // Every press before this one has been handled once the bar collapses.
    void barrier_by_collapsing()
    {
        click_bar(500, 23);
        ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    }

    bool on_top_of_other_clients(Window window)
    {
        const auto order = stacking_order(dpy);
        const auto position = [&](Window w) { return std::find(order.begin(), order.end(), w); };
        return std::all_of(clients.begin(), clients.end(),
                           [&](Window other) { return other == window || position(other) < position(window); });
    }

    std::vector<Window> clients;
};

}  // namespace

TEST_F(Presses, clicking_a_button_raises_and_focuses_its_window)
{
    click_bar(slot(0, 3).left + 20, 12);
    ASSERT_TRUE(wait_until([&] { return focused_window(dpy) == clients[0]; }));
    EXPECT_TRUE(on_top_of_other_clients(clients[0]));
    EXPECT_TRUE(wait_until([&] { return looks_pressed(slot(0, 3)); }));
    EXPECT_TRUE(looks_raised(slot(1, 3)));
}

TEST_F(Presses, clicking_another_button_moves_the_pressed_look_whichever_comes_first)
{
    press_client(2);
    for (int to : {0, 1}) {
        const int from = to == 0 ? 2 : 0;
        click_bar(slot(to, 3).left + 20, 12);
        ASSERT_TRUE(wait_until([&] { return looks_pressed(slot(to, 3)); }));
        EXPECT_TRUE(wait_until([&] { return looks_raised(slot(from, 3)); })) << from << " to " << to;
        EXPECT_TRUE(wait_until([&] { return focused_window(dpy) == clients[to]; }));
    }
}

TEST_F(Presses, clicking_the_focused_button_minimises_it_without_a_focus_request)
{
    press_client(1);
    // Focus elsewhere, to a window the bar does not track, so a focus
    // request from the bar would show.
    const Window elsewhere = wm->create_client({});
    XSetInputFocus(dpy, elsewhere, RevertToNone, CurrentTime);
    sync(dpy);

    click_bar(slot(1, 3).left + 20, 12);
    const auto iconify = wm->wait_for_message("WM_CHANGE_STATE");
    ASSERT_TRUE(iconify);
    EXPECT_EQ(iconify->window, clients[1]);
    EXPECT_EQ(iconify->format, 32);
    EXPECT_EQ(iconify->data[0], IconicState);
    EXPECT_TRUE(wait_until([&] { return looks_raised(slot(1, 3)); }));
    EXPECT_EQ(focused_window(dpy), elsewhere);
}

TEST_F(Presses, pressing_a_minimised_button_again_restores_raises_and_focuses_it)
{
    wm->answer_iconify(true);
    press_client(1);
    click_bar(slot(1, 3).left + 20, 12);
    ASSERT_TRUE(wait_until([&] { return !geometry(dpy, clients[1])->viewable(); }));

    click_bar(slot(1, 3).left + 20, 12);
    ASSERT_TRUE(wait_until([&] { return geometry(dpy, clients[1])->viewable(); }));
    EXPECT_TRUE(wait_until([&] { return focused_window(dpy) == clients[1]; }));
    EXPECT_TRUE(on_top_of_other_clients(clients[1]));
    EXPECT_TRUE(wait_until([&] { return looks_pressed(slot(1, 3)); }));
}

TEST_F(Presses, the_separator_column_and_the_column_past_a_button_hit_no_button)
{
    press_client(0);
    const Slot middle = slot(1, 3);

    click_bar(middle.left, 12);
    ASSERT_TRUE(wait_until([&] { return looks_raised(slot(0, 3)); }));
    EXPECT_TRUE(looks_raised(middle));

    click_bar(middle.left + middle.width, 12);
    press_client(2);  // also proves the click before it has been handled
    EXPECT_TRUE(wait_until([&] { return focused_window(dpy) == clients[2]; }));
    // Had either click hit the middle button, its window would have been
    // raised above the first one.
    const auto order = stacking_order(dpy);
    EXPECT_LT(std::find(order.begin(), order.end(), clients[1]),
              std::find(order.begin(), order.end(), clients[0]));
}

TEST_F(Presses, a_press_on_column_48_or_in_the_gap_releases_the_pressed_button_and_does_nothing_else)
{
    for (int x : {48, 96 + 50}) {
        press_client(2);
        click_bar(x, 12);
        ASSERT_TRUE(wait_until([&] { return looks_raised(slot(2, 3)); })) << "x " << x;
    }
    barrier_by_collapsing();
    EXPECT_TRUE(messages_of_type("_WIN_WORKSPACE").empty());
    EXPECT_TRUE(launched().empty());
    EXPECT_EQ(focused_window(dpy), clients[2]);
}

TEST_F(Presses, a_desktop_button_asks_for_its_desktop_and_releases_the_pressed_button)
{
    press_client(0);
    click_bar(48 + 3 * 24 + 12, 12);
    const auto request = wm->wait_for_message("_WIN_WORKSPACE");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->window, root);
    EXPECT_EQ(request->format, 32);
    EXPECT_EQ(request->data[0], 3);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(request->data[i], 0) << "item " << i;
    EXPECT_TRUE(wait_until([&] { return looks_raised(slot(0, 3)); }));
}

TEST_F(Presses, the_first_and_last_columns_of_the_strip_name_the_first_and_last_desktop)
{
    click_bar(49, 12);
    click_bar(48 + 4 * 24 - 1, 12);
    click_bar(48 + 4 * 24, 12);  // past the strip
    barrier_by_collapsing();
    const auto requests = messages_of_type("_WIN_WORKSPACE");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].data[0], 0);
    EXPECT_EQ(requests[1].data[0], 3);
}

TEST_F(Presses, a_desktop_press_in_the_collapse_band_asks_and_collapses_and_leaves_buttons_alone)
{
    press_client(1);
    click_bar(48 + 2 * 24 + 12, 23);
    const auto request = wm->wait_for_message("_WIN_WORKSPACE");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->data[0], 2);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));

    // Expanding exposes the bar, which repaints every button from its flags.
    click(dpy);
    ASSERT_TRUE(wait_until([&] { return expanded_bottom(); }));
    EXPECT_TRUE(wait_until([&] { return looks_pressed(slot(1, 3)); }));
}

TEST_F(Presses, a_press_on_the_collapsed_strip_over_the_desktops_asks_and_expands)
{
    // Collapse with the pointer over desktop 1, so that the press on the
    // strip comes without a motion that would expand it first.
    click_bar(48 + 1 * 24 + 5, 23);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    ASSERT_EQ(messages_of_type("_WIN_WORKSPACE").size(), 1u);
    wm->clear_messages();

    click(dpy);
    const auto request = wm->wait_for_message("_WIN_WORKSPACE");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->data[0], 1);
    EXPECT_TRUE(wait_until([&] { return expanded_bottom(); }));
}

TEST_F(Presses, a_desktop_the_window_manager_does_not_have_is_not_asked_for)
{
    wm->set_win_workspace_count(2);  // the bar still shows four buttons
    click_bar(48 + 3 * 24 + 12, 12);
    click_bar(48 + 1 * 24 + 12, 12);
    barrier_by_collapsing();
    const auto requests = messages_of_type("_WIN_WORKSPACE");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].data[0], 1);
}

TEST_F(Presses, a_count_without_items_sets_no_bound)
{
    wm->set_root_property("_WIN_WORKSPACE_COUNT", "CARDINAL", 32, {});
    click_bar(48 + 3 * 24 + 12, 12);
    const auto request = wm->wait_for_message("_WIN_WORKSPACE");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->data[0], 3);
}

namespace {

class SingleDesktop : public RunningPanel {};

}  // namespace

TEST_F(SingleDesktop, with_one_desktop_no_press_asks_for_a_desktop)
{
    start("panel-lite", 1);
    for (int x : {49, 60, 80, 100})
        click_bar(x, 12);
    click_bar(500, 23);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    EXPECT_TRUE(messages_of_type("_WIN_WORKSPACE").empty());
}

TEST_F(SingleDesktop, other_buttons_than_the_first_do_nothing)
{
    start("panel-lite", 4);
    click_at(dpy, 60, screen_height - 12, 3);
    click_at(dpy, 500, screen_height - 1, 2);
    click_at(dpy, 10, screen_height - 12, 3);
    click_bar(500, 23);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    EXPECT_TRUE(messages_of_type("_WIN_WORKSPACE").empty());
    EXPECT_TRUE(launched().empty());
}
