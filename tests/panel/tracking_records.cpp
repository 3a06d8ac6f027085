// Following the window manager's list, the focus and the clients' properties.
#include "tracking_in_process.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

using Tracking = InProcessPanel;
using Windows = std::vector<Window>;

TEST_F(Tracking, without_a_desktop_change_buttons_keep_their_place_and_their_data)
{
    const Window a = client("old"), b = client(), c = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    wm->set_name(a, string_text("new"));  // not reported to the bar

    wm->set_net_client_list({b, c, a});
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), Windows({a, b, c}));
    EXPECT_EQ(record(a).title, "old");

    wm->set_net_client_list({c, a});
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), Windows({a, c}));
}

TEST_F(Tracking, a_desktop_switch_rebuilds_every_button_in_the_managers_order_with_fresh_data)
{
    const Window a = client("old"), b = client(), elsewhere = client("", 1);
    wm->set_net_client_list({a, b, elsewhere});
    root_changed(NetClientList);
    ASSERT_EQ(tracked(), Windows({a, b}));

    wm->set_name(a, string_text("new"));
    wm->set_workspace(a, 1);
    wm->set_workspace(b, 1);
    wm->set_net_client_list({elsewhere, b, a});
    wm->set_win_workspace(1);
    root_changed(WinWorkspace);
    EXPECT_EQ(panel->desktop, 1);
    EXPECT_EQ(tracked(), Windows({elsewhere, b, a}));
    EXPECT_EQ(record(a).title, "new");
}

TEST_F(Tracking, a_newer_list_of_another_type_or_format_empties_the_bar_without_reading_the_older_one)
{
    const Window a = client(), b = client();
    wm->set_win_client_list({b, a});
    for (const char* type : {"CARDINAL", "WINDOW"}) {
        wm->set_net_client_list({a});
        root_changed(NetClientList);
        ASSERT_EQ(tracked(), Windows({a}));
        // 8-bit items indexed as longs would also run past the data.
        wm->set_root_property("_NET_CLIENT_LIST", type, type[0] == 'C' ? 32 : 8, {long(a), long(b)});
        root_changed(NetClientList);
        EXPECT_TRUE(tracked().empty()) << type;
    }
    wm->delete_root_property("_NET_CLIENT_LIST");
    root_changed(NetClientList);
    EXPECT_EQ(tracked(), Windows({b, a}));
}

TEST_F(Tracking, with_neither_list_only_the_desktop_number_follows_the_root)
{
    const Window a = client(), b = client();
    focus(a);
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    ASSERT_EQ(tracked(true), Windows({a}));

    wm->delete_root_property("_NET_CLIENT_LIST");
    focus(b);
    wm->set_win_workspace(2);
    root_changed(WinWorkspace);
    EXPECT_EQ(panel->desktop, 2);
    EXPECT_EQ(tracked(), Windows({a, b}));
    EXPECT_EQ(tracked(true), Windows({a}));  // not even the focus is looked at
}

TEST_F(Tracking, focus_moves_the_pressed_look_and_repaints_only_the_two_buttons_concerned)
{
    const Window a = client(), b = client(), c = client();
    focus(a);
    wm->set_net_client_list({a, b, c});
    root_changed(NetClientList);
    paint_and_mark();

    on_focus_in(*panel, b);
    flush_and_wait();
    EXPECT_EQ(tracked(true), Windows({b}));
    EXPECT_TRUE(repainted(a) && repainted(b));
    EXPECT_FALSE(repainted(c));

    paint_and_mark();
    on_focus_in(*panel, b);  // already pressed: nothing to do
    on_focus_in(*panel, client());  // a window without a button releases every button
    flush_and_wait();
    EXPECT_TRUE(tracked(true).empty());
    EXPECT_TRUE(repainted(b));
    EXPECT_FALSE(repainted(a) || repainted(c));
}

TEST_F(Tracking, a_state_change_that_keeps_the_minimised_state_repaints_nothing)
{
    const Window a = client(), b = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    paint_and_mark();

    wm->set_wm_state(a, WithdrawnState);  // still not minimised
    changed(a, ds.atoms[WmState]);
    EXPECT_FALSE(repainted(a));

    wm->set_wm_state(a, IconicState);
    changed(a, ds.atoms[WmState]);
    EXPECT_TRUE(record(a).minimized);
    EXPECT_TRUE(repainted(a));
    EXPECT_FALSE(repainted(b));
}

TEST_F(Tracking, a_hinted_icon_replaces_the_fallback_once_and_later_ones_change_nothing)
{
    const Window a = client();
    wm->set_net_client_list({a});
    root_changed(NetClientList);
    ASSERT_EQ(record(a).icon, ds.fallback_icon);

    WmHintsSetup hints;
    hints.icon = wm->create_solid_pixmap(32, 32, DefaultDepth(dpy, screen), 0x00ff00);
    wm->set_wm_hints(a, hints);
    changed(a, XA_WM_HINTS);
    const Pixmap scaled = record(a).icon;
    EXPECT_NE(scaled, ds.fallback_icon);
    EXPECT_TRUE(record(a).owns_icon);

    paint_and_mark();
    hints.icon = wm->create_solid_pixmap(32, 32, DefaultDepth(dpy, screen), 0x0000ff);
    wm->set_wm_hints(a, hints);
    changed(a, XA_WM_HINTS);
    EXPECT_EQ(record(a).icon, scaled);
    EXPECT_FALSE(repainted(a));
}

TEST_F(Tracking, a_new_name_is_read_by_the_same_rules_as_the_first)
{
    const Window a = client("first"), b = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    paint_and_mark();

    // Terminals and browsers write these whenever a title leaves ASCII.
    wm->set_name(a, compound_text("compound"));
    changed(a, XA_WM_NAME);
    EXPECT_EQ(record(a).title, "compound");
    EXPECT_TRUE(repainted(a));
    EXPECT_FALSE(repainted(b));
    wm->set_name(a, TextValue{"gr\xc3\xbcn", "UTF8_STRING", 8});
    changed(a, XA_WM_NAME);
    EXPECT_EQ(record(a).title, "gr\xc3\xbcn");

    wm->set_name(a, std::nullopt);
    changed(a, XA_WM_NAME);
    EXPECT_FALSE(record(a).title.has_value());
}
