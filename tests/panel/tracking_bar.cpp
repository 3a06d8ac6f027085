// The running bar follows the window manager: the buttons it shows, in
// which order, and which one looks pressed. Buttons are recognised by the
// solid colours of their icons.
#include "input_running_panel.hpp"

using namespace running_panel;

namespace {

class FollowingTheWm : public RunningPanel {};

Window with_desktop(ScriptedWm& wm, Window window, long desktop)
{
    wm.set_workspace(window, desktop);
    return window;
}

}  // namespace

TEST_F(FollowingTheWm, the_first_buttons_appear_only_at_the_first_root_change)
{
    const Window a = add_client(RED);
    wm->set_net_client_list({a});
    start("panel-lite");
    EXPECT_FALSE(shows_icon(slot(0, 1), RED));  // painted, yet without buttons

    wm->set_win_workspace(0);  // the same desktop again: a change all the same
    EXPECT_TRUE(wait_until([&] { return shows_icon(slot(0, 1), RED); }));
}

TEST_F(FollowingTheWm, a_desktop_switch_shows_the_new_desktops_windows_in_the_managers_order)
{
    start("panel-lite");
    const Window a = add_client(RED), b = add_client(GREEN);
    const Window c = with_desktop(*wm, add_client(BLUE), 1);
    const Window d = with_desktop(*wm, add_client(MAGENTA), 1);
    wm->set_net_client_list({a, d, b, c});
    ASSERT_TRUE(wait_until([&] { return shows_icon(slot(0, 2), RED) && shows_icon(slot(1, 2), GREEN); }));

    wm->set_win_workspace(1);
    EXPECT_TRUE(wait_until([&] { return shows_icon(slot(0, 2), MAGENTA) && shows_icon(slot(1, 2), BLUE); }));
}

TEST_F(FollowingTheWm, a_window_that_leaves_the_list_loses_its_button_and_the_rest_close_up)
{
    start("panel-lite");
    const auto clients = show_three_clients();
    wm->set_net_client_list({clients[0], clients[2]});
    EXPECT_TRUE(wait_until([&] { return shows_icon(slot(0, 2), RED) && shows_icon(slot(1, 2), BLUE); }));
}

TEST_F(FollowingTheWm, a_destroyed_window_loses_its_button_at_once)
{
    start("panel-lite");
    const auto clients = show_three_clients();
    wm->destroy(clients[1]);  // still listed: the destruction alone removes it
    EXPECT_TRUE(wait_until([&] { return shows_icon(slot(0, 2), RED) && shows_icon(slot(1, 2), BLUE); }));
}

TEST_F(FollowingTheWm, the_focused_window_s_button_looks_pressed)
{
    start("panel-lite");
    const auto clients = show_three_clients();
    XSetInputFocus(dpy, clients[1], RevertToNone, CurrentTime);
    sync(dpy);
    ASSERT_TRUE(wait_until([&] { return looks_pressed(slot(1, 3)); }));
    XSetInputFocus(dpy, clients[2], RevertToNone, CurrentTime);
    sync(dpy);
    EXPECT_TRUE(wait_until([&] { return looks_pressed(slot(2, 3)) && looks_raised(slot(1, 3)); }));
}

TEST_F(FollowingTheWm, a_minimised_window_s_title_is_engraved)
{
    start("panel-lite");
    const Window a = add_client(RED, "WWWWWW");
    wm->set_net_client_list({a});
    ASSERT_TRUE(wait_until([&] { return shows_icon(slot(0, 1), RED); }));
    const Slot s = slot(0, 1);
    const auto highlight = panel_pixel(dpy, PanelColor::Highlight);
    const auto title_has_highlight = [&] {
        const auto image = capture(dpy, bar, s.left + 20, 2, 60, 21);
        return image && image->count(highlight) > 0;
    };
    EXPECT_FALSE(title_has_highlight());
    wm->set_wm_state(a, IconicState);
    EXPECT_TRUE(wait_until(title_has_highlight));
}
