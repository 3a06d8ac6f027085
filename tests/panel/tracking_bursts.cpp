// Within a burst of events the handlers only note their work; the end of
// the burst syncs once and paints once.
#include "tracking_in_process.hpp"

#include "burst.hpp"

#include <X11/Xatom.h>

using Bursts = InProcessPanel;
using Windows = std::vector<Window>;

TEST_F(Bursts, list_and_desktop_changes_wait_for_the_end_of_the_burst_and_then_sync_once)
{
    const Window a = client(), b = client(), elsewhere = client("", 1);
    wm->set_net_client_list({a, b, elsewhere});
    root_changed(NetClientList);
    paint_and_mark();

    start_gathering(*panel);
    wm->set_win_workspace(1);
    for (AtomIndex atom : {NetClientList, WinClientList, WinWorkspace})
        root_changed(atom);
    EXPECT_EQ(tracked(), Windows({a, b}));
    EXPECT_FALSE(repainted(a) || repainted(b));

    finish_burst(*panel);
    flush_and_wait();
    EXPECT_EQ(panel->desktop, 1);
    EXPECT_EQ(tracked(), Windows({elsewhere}));
    EXPECT_FALSE(panel->due.sync || panel->due.whole_bar || panel->due.buttons);
}

TEST_F(Bursts, single_buttons_are_painted_at_the_end_unless_a_whole_repaint_covers_them)
{
    const Window a = client(), b = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    paint_and_mark();

    start_gathering(*panel);
    on_focus_in(*panel, a);
    EXPECT_FALSE(repainted(a));
    finish_burst(*panel);
    flush_and_wait();
    EXPECT_TRUE(repainted(a));
    EXPECT_FALSE(repainted(b));

    // Noted for a button, then covered by the whole bar: painted once, and
    // nothing is left noted for the next burst.
    paint_and_mark();
    on_focus_in(*panel, b);
    request_whole_repaint(*panel);
    finish_burst(*panel);
    flush_and_wait();
    EXPECT_TRUE(repainted(a) && repainted(b));
    EXPECT_FALSE(record(a).repaint_due || record(b).repaint_due || panel->due.buttons);
}

TEST_F(Bursts, titles_announced_in_a_burst_are_read_together_at_its_end)
{
    const Window a = client("old a"), b = client("old b");
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);

    start_gathering(*panel);
    wm->set_name(a, string_text("new a"));
    wm->set_bytes_property(b, "_NET_WM_NAME", "UTF8_STRING", "new b");
    changed(a, XA_WM_NAME);
    changed(b, ds.atoms[NetWmName]);
    EXPECT_EQ(record(a).title, "old a");
    EXPECT_EQ(record(b).title, "old b");
    finish_burst(*panel);
    EXPECT_EQ(record(a).title, "new a");
    EXPECT_EQ(record(b).title, "new b");
    EXPECT_TRUE(record(b).title_kind.from_net_wm_name);
}

TEST_F(Bursts, a_new_active_window_reads_the_focus_again_where_no_focus_in_comes)
{
    const Window a = client();
    focus(a);
    wm->set_net_client_list({a});
    root_changed(NetClientList);
    ASSERT_TRUE(record(a).active);

    start_gathering(*panel);
    focus(PointerRoot);  // the bar hears no FocusIn for this
    root_changed(NetActiveWindow);
    EXPECT_TRUE(record(a).active);
    finish_burst(*panel);
    EXPECT_FALSE(record(a).active);
}
