// Within a burst of events the handlers only note their work; the end of
// the burst syncs once and paints once.
#include "tracking_in_process.hpp"

#include "burst.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <optional>

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

TEST_F(Bursts, state_changes_announced_in_a_burst_are_read_at_its_end)
{
    const Window a = client(), b = client();
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);

    start_gathering(*panel);
    wm->set_wm_state(a, IconicState);
    wm->set_wm_state(b, NormalState);
    changed(a, ds.atoms[WmState]);
    changed(b, ds.atoms[WmState]);
    EXPECT_FALSE(record(a).minimized);
    finish_burst(*panel);
    EXPECT_TRUE(record(a).minimized);
    EXPECT_FALSE(record(b).minimized);
}

TEST_F(Bursts, the_strip_follows_a_desktop_count_that_changed_at_the_next_whole_repaint)
{
    start_gathering(*panel);
    for (const long count : {4, 2}) {
        wm->set_win_workspace_count(count);
        root_changed(WinWorkspaceCount);
        request_whole_repaint(*panel);
        finish_burst(*panel);
        EXPECT_EQ(ds.pager_width, count * DESK_BUTTON_WIDTH);
    }
    // A list change that comes with one paints the strip and the moved slots.
    const Window a = client();
    wm->set_win_workspace_count(3);
    wm->set_net_client_list({a});
    root_changed(WinWorkspaceCount);
    root_changed(NetClientList);
    finish_burst(*panel);
    EXPECT_EQ(ds.pager_width, 72);
    EXPECT_EQ(record(a).button_left, 72 + FIRST_SLOT_OFFSET);
}

// So many clients that one more or one less keeps every slot where it is.
int clients_keeping_their_slots()
{
    int n = 20;
    while (layout_client_buttons(ds.monitor.width, 0, n, 0).step !=
           layout_client_buttons(ds.monitor.width, 0, n + 1, 0).step)
        ++n;
    return n;
}

TEST_F(Bursts, a_list_change_paints_the_button_that_came_and_clears_the_slot_of_one_that_went)
{
    std::vector<Window> windows;
    for (int i = clients_keeping_their_slots(); i > 0; --i)
        windows.push_back(client());
    wm->set_net_client_list(windows);
    root_changed(NetClientList);
    paint_and_mark();
    const Window first = windows.front();

    start_gathering(*panel);
    windows.push_back(client("new"));
    wm->set_net_client_list(windows);
    root_changed(NetClientList);
    finish_burst(*panel);
    flush_and_wait();
    EXPECT_FALSE(repainted(first) || repainted(windows[windows.size() - 2]));
    const TrackedWindow added = record(windows.back());
    const Image with_new = *capture(dpy, panel->window);
    EXPECT_EQ(with_new.at(added.button_left + 2, 0), ds.panel_colors[Highlight]);

    // Closed: its slot shows face again, as a bar freshly exposed would.
    windows.pop_back();
    wm->set_net_client_list(windows);
    root_changed(NetClientList);
    finish_burst(*panel);
    flush_and_wait();
    EXPECT_FALSE(repainted(first));
    const Image closed = *capture(dpy, panel->window);
    EXPECT_EQ(closed.count(ds.panel_colors[Face], added.button_left, 0, added.button_width + 1, 24),
              (added.button_width + 1) * 24);
}

// The focus is read again for a new active window unless the focus events
// since say it is still where the last FocusIn put it.
TEST_F(Bursts, a_new_active_window_reads_the_focus_unless_the_focus_events_say_where_it_is)
{
    struct Heard {
        int mode, detail;
        std::optional<int> out_mode;  // a FocusOut after it
        bool reads;
    };
    const Heard cases[] = {
        {NotifyNormal, NotifyNonlinear, {}, false},
        {NotifyNormal, NotifyAncestor, NotifyGrab, false},
        {NotifyNormal, NotifyNonlinear, NotifyNormal, true},
        {NotifyNormal, NotifyVirtual, {}, true},  // the focus is in a child
        {NotifyGrab, NotifyNonlinear, {}, true},
    };
    const Window a = client();
    wm->set_net_client_list({a});
    root_changed(NetClientList);
    start_gathering(*panel);
    for (const Heard& heard : cases) {
        focus(a);
        XFocusChangeEvent event{FocusIn, 0, False, dpy, a, heard.mode, heard.detail};
        on_focus_change(*panel, event);
        if (heard.out_mode) {
            event.type = FocusOut;
            event.mode = *heard.out_mode;
            on_focus_change(*panel, event);
        }
        // The focus goes where the bar hears nothing; only a read sees it.
        focus(PointerRoot);
        root_changed(NetActiveWindow);
        finish_burst(*panel);
        EXPECT_EQ(record(a).active, !heard.reads) << heard.mode << " " << heard.detail;
    }
}

// A change after a quiet spell is synced at once; one right after a sync
// waits for the rest, and notices that never pause get their sync all the
// same, a little later.
TEST_F(Bursts, a_sync_waits_for_the_rest_of_a_change_only_right_after_a_sync_and_only_so_long)
{
    start_gathering(*panel);
    for (const bool right_after_a_sync : {false, true}) {
        wm->set_win_workspace(0);  // its notice stays queued: more is always there
        root_changed(WinWorkspace);
        int waits = 0;
        while (more_of_the_change(*panel) && waits < 1000)
            ++waits;
        EXPECT_EQ(waits > 0, right_after_a_sync);
        EXPECT_LT(waits, 1000);
        finish_burst(*panel);
    }
}
