// Following the window manager's list, the focus and the clients'
// properties, with the panel's own code in this process.
#include "tracking_in_process.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace {

using Tracking = InProcessPanel;

}  // namespace

// ---- The list ---------------------------------------------------------------

TEST_F(Tracking, the_bar_reads_no_list_before_the_first_root_change)
{
    const Window a = client();
    wm->set_net_client_list({a});
    redraw_panel(*panel);
    EXPECT_TRUE(tracked().empty());
    root_changed(WinWorkspaceCount);  // not one the bar follows
    EXPECT_TRUE(tracked().empty());
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({a}));
}

TEST_F(Tracking, buttons_come_in_the_window_managers_order)
{
    const Window a = client(), b = client(), c = client();
    wm->set_net_client_list({c, a, b});
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({c, a, b}));
    EXPECT_EQ(panel->client_count, 3);
}

TEST_F(Tracking, without_a_desktop_change_kept_buttons_keep_their_place_and_their_data)
{
    const Window a = client("old"), b = client(), c = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    wm->set_name(a, string_text("new"));  // not reported to the bar

    wm->set_net_client_list({b, c, a});
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({a, b, c}));
    EXPECT_EQ(record(a).title, "old");

    wm->set_net_client_list({c, a});
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({a, c}));
}

TEST_F(Tracking, a_desktop_switch_rebuilds_every_button_in_the_new_order_with_fresh_data)
{
    const Window a = client("old"), b = client(), elsewhere = client("", 1);
    wm->set_net_client_list({a, b, elsewhere});
    root_changed(NetClientList);
    ASSERT_EQ(tracked(), std::vector<Window>({a, b}));

    wm->set_name(a, string_text("new"));
    wm->set_workspace(a, 1);
    wm->set_workspace(b, 1);
    wm->set_net_client_list({elsewhere, b, a});
    wm->set_win_workspace(1);
    root_changed(WinWorkspace);
    EXPECT_EQ(panel->desktop, 1);
    EXPECT_EQ(tracked(), std::vector<Window>({elsewhere, b, a}));
    EXPECT_EQ(record(a).title, "new");
}

TEST_F(Tracking, windows_on_other_desktops_are_looked_at_again_at_every_change)
{
    const Window a = client(), later = client("", 1);
    wm->set_net_client_list({a, later});
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({a}));
    wm->set_workspace(later, 0);
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({a, later}));
}

TEST_F(Tracking, the_older_list_is_used_only_when_the_newer_one_is_missing)
{
    const Window a = client(), b = client();
    wm->set_win_client_list({b, a});
    root_changed(WinClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({b, a}));

    wm->set_net_client_list({a});
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({a}));
}

TEST_F(Tracking, a_newer_list_of_another_type_empties_the_bar_without_reading_the_older_one)
{
    const Window a = client(), b = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    wm->set_win_client_list({a, b});
    wm->set_root_property("_NET_CLIENT_LIST", "CARDINAL", 32, {long(a), long(b)});
    root_changed(NetClientList);
    EXPECT_TRUE(tracked().empty());
}

TEST_F(Tracking, a_list_of_other_than_32_bit_items_counts_as_empty)
{
    const Window a = client();
    wm->set_net_client_list({a});
    root_changed(NetClientList);
    wm->set_win_client_list({a});
    // Read as longs, these few bytes would run far past their end.
    wm->set_root_property("_NET_CLIENT_LIST", "WINDOW", 8, {1, 2, 3});
    root_changed(NetClientList);
    EXPECT_TRUE(tracked().empty());

    wm->delete_root_property("_NET_CLIENT_LIST");
    wm->set_root_property("_WIN_CLIENT_LIST", "CARDINAL", 16, {long(a & 0xffff)});
    root_changed(WinClientList);
    EXPECT_TRUE(tracked().empty());
}

TEST_F(Tracking, with_neither_list_only_the_desktop_number_follows_the_root)
{
    const Window a = client(), b = client();
    focus(a);
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    ASSERT_EQ(active(), std::vector<Window>({a}));

    wm->delete_root_property("_NET_CLIENT_LIST");
    focus(b);
    wm->set_win_workspace(2);
    root_changed(WinWorkspace);
    EXPECT_EQ(panel->desktop, 2);
    EXPECT_EQ(tracked(), std::vector<Window>({a, b}));
    EXPECT_EQ(active(), std::vector<Window>({a}));  // not even recomputed
}

TEST_F(Tracking, a_change_marks_only_the_focused_window_active)
{
    const Window a = client(), b = client(), c = client();
    focus(b);
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    EXPECT_EQ(active(), std::vector<Window>({b}));

    focus(c);  // a new window that gets its button in the same change
    wm->set_net_client_list({a, b, c});
    root_changed(NetClientList);
    EXPECT_EQ(active(), std::vector<Window>({c}));

    for (Window w : {Window(PointerRoot), Window(None), root}) {
        XSetInputFocus(dpy, w, RevertToNone, CurrentTime);
        sync(dpy);
        root_changed(NetClientList);
        EXPECT_TRUE(active().empty()) << "focus " << w;
    }
}

TEST_F(Tracking, windows_of_a_list_that_no_longer_exist_are_survived)
{
    const Window a = client();
    const Window gone = client();
    wm->destroy(gone);
    wm->set_net_client_list({gone, a, 0x7fffffff});
    root_changed(NetClientList);
    EXPECT_EQ(tracked().size(), 3u);  // on desktop 0 by default, without a title
    EXPECT_FALSE(record(gone).title.has_value());
    paint_and_mark();

    wm->set_net_client_list({a});
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), std::vector<Window>({a}));
}

// ---- Focus and single properties: only the buttons concerned are repainted --

TEST_F(Tracking, focus_moves_the_pressed_look_and_repaints_only_the_two_buttons_concerned)
{
    const Window a = client(), b = client(), c = client();
    focus(a);
    wm->set_net_client_list({a, b, c});
    root_changed(NetClientList);
    paint_and_mark();

    on_focus_in(*panel, b);
    flush_and_wait();
    EXPECT_EQ(active(), std::vector<Window>({b}));
    EXPECT_TRUE(repainted(a));
    EXPECT_TRUE(repainted(b));
    EXPECT_FALSE(repainted(c));
    EXPECT_EQ(pixel(dpy, panel->window, record(b).button_left + 10, 20),
              panel_pixel(dpy, PanelColor::FacePressed));

    paint_and_mark();
    on_focus_in(*panel, b);  // already active: nothing changes
    flush_and_wait();
    EXPECT_FALSE(repainted(a) || repainted(b) || repainted(c));

    on_focus_in(*panel, client());  // a window without a button releases every button
    flush_and_wait();
    EXPECT_TRUE(active().empty());
    EXPECT_TRUE(repainted(b));
    EXPECT_FALSE(repainted(a) || repainted(c));
}

TEST_F(Tracking, a_state_change_that_keeps_the_minimised_state_repaints_nothing)
{
    const Window a = client(), b = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    paint_and_mark();

    wm->set_wm_state(a, 0);  // withdrawn: still not minimised
    client_changed(a, ds.atoms[WmState]);
    EXPECT_FALSE(repainted(a));

    wm->set_wm_state(a, IconicState);
    client_changed(a, ds.atoms[WmState]);
    EXPECT_TRUE(record(a).minimized);
    EXPECT_TRUE(repainted(a));
    EXPECT_FALSE(repainted(b));

    paint_and_mark();
    wm->set_wm_state(a, NormalState);
    client_changed(a, ds.atoms[WmState]);
    EXPECT_FALSE(record(a).minimized);
    EXPECT_TRUE(repainted(a));
}

TEST_F(Tracking, a_hinted_icon_replaces_the_fallback_once_and_later_ones_change_nothing)
{
    const Window a = client();
    wm->set_net_client_list({a});
    root_changed(NetClientList);
    ASSERT_EQ(record(a).icon, ds.fallback_icon);
    paint_and_mark();

    WmHintsSpec hints;  // no icon: the fallback stays, the button is repainted
    wm->set_wm_hints(a, hints);
    client_changed(a, XA_WM_HINTS);
    EXPECT_EQ(record(a).icon, ds.fallback_icon);
    EXPECT_TRUE(repainted(a));

    paint_and_mark();
    hints.icon = wm->create_solid_pixmap(32, 32, DefaultDepth(dpy, screen), 0x00ff00);
    wm->set_wm_hints(a, hints);
    client_changed(a, XA_WM_HINTS);
    const Pixmap scaled = record(a).icon;
    EXPECT_NE(scaled, ds.fallback_icon);
    EXPECT_TRUE(record(a).owns_icon);
    EXPECT_TRUE(repainted(a));

    paint_and_mark();
    hints.icon = wm->create_solid_pixmap(32, 32, DefaultDepth(dpy, screen), 0x0000ff);
    wm->set_wm_hints(a, hints);
    client_changed(a, XA_WM_HINTS);
    EXPECT_EQ(record(a).icon, scaled);
    EXPECT_FALSE(repainted(a));
}

TEST_F(Tracking, a_new_name_is_read_by_the_same_rules_as_the_first)
{
    const Window a = client("first"), b = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    paint_and_mark();

    wm->set_name(a, string_text("plain"));
    client_changed(a, XA_WM_NAME);
    EXPECT_EQ(record(a).title, "plain");
    EXPECT_TRUE(repainted(a));
    EXPECT_FALSE(repainted(b));

    // Terminals and browsers write these whenever a title leaves ASCII.
    wm->set_name(a, compound_text("compound"));
    client_changed(a, XA_WM_NAME);
    EXPECT_EQ(record(a).title, "compound");
    wm->set_name(a, TextSpec{"gr\xc3\xbcn", "UTF8_STRING", 8});
    client_changed(a, XA_WM_NAME);
    EXPECT_EQ(record(a).title, "gr\xc3\xbcn");

    paint_and_mark();
    wm->set_name(a, std::nullopt);
    client_changed(a, XA_WM_NAME);
    EXPECT_FALSE(record(a).title.has_value());
    EXPECT_FALSE(repainted(a));  // nothing is drawn for a button without a title
}

TEST_F(Tracking, changes_on_windows_without_a_button_and_other_atoms_are_ignored)
{
    const Window a = client(), stranger = client();
    wm->set_net_client_list({a});
    root_changed(NetClientList);
    paint_and_mark();
    client_changed(stranger, XA_WM_NAME);
    client_changed(a, XA_WM_CLASS);
    EXPECT_FALSE(repainted(a));
    EXPECT_EQ(tracked(), std::vector<Window>({a}));
}
