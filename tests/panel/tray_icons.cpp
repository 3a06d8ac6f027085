// Status icons in a running panel-lite's tray, made on the test's own
// connection: docking, slots, leaving, waiting for room, presses, another
// tray taking over, and bad requests.
#include "input_running_panel.hpp"

#include <X11/Xatom.h>

namespace {

class TrayIcons : public RunningPanel {
protected:
    // An icon window, 30 by 30 until the bar sizes it; no _XEMBED_INFO for {}.
    Window icon(std::vector<long> info = {0, 1})
    {
        const Window window = XCreateSimpleWindow(dpy, root, 0, 0, 30, 30, 0, 0, RED);
        if (!info.empty())
            set_info(window, info);
        return window;
    }
    void set_info(Window window, std::vector<long> items, Atom type = None, int format = 32)
    {
        const Atom info = atom(dpy, "_XEMBED_INFO");
        XChangeProperty(dpy, window, info, type ? type : info, format, PropModeReplace,
                        reinterpret_cast<unsigned char*>(items.data()), static_cast<int>(items.size()));
        sync(dpy);
    }
    void dock(Window window) { send_tray_opcode(dpy, 0, static_cast<long>(window)); }
    Window parent(Window window)
    {
        Window root_return = None, parent = None, *children = nullptr;
        unsigned count = 0;
        XQueryTree(dpy, window, &root_return, &parent, &children, &count);
        if (children)
            XFree(children);
        return parent;
    }
    bool in_slot(Window window, int slot)
    {
        const auto g = geometry(dpy, window);
        return g && g->viewable() && parent(window) == bar && g->x == screen_width - 61 - 20 * slot &&
               g->y == bar_geometry().y + 4 && g->width == 16 && g->height == 16;
    }
    bool waiting(Window window) { return parent(window) == bar && !geometry(dpy, window)->viewable(); }
    // The groove at the tray's first two columns, face beside slot 0.
    bool tray_shows(int shown)
    {
        const int left = screen_width - 43 - 20 * std::max(shown, 1);
        const auto colour = [&](PanelColor c) { return panel_pixel(dpy, shown ? c : PanelColor::Face); };
        return pixel(dpy, bar, left, 12) == colour(PanelColor::Shadow) &&
               pixel(dpy, bar, left + 1, 12) == colour(PanelColor::Highlight) &&
               pixel(dpy, bar, screen_width - 45, 12) == colour(PanelColor::Face);
    }
};

class NarrowTray : public TrayIcons {
    ServerOptions server_options() const override { return {.width = 400}; }
};

}  // namespace

TEST_F(TrayIcons, icons_dock_left_of_the_clock_close_up_when_one_leaves_and_go_to_a_later_tray)
{
    start("panel-lite");
    const Window owner = tray_owner(dpy);
    EXPECT_EQ(property32(dpy, owner, "_NET_SYSTEM_TRAY_ORIENTATION")->items, std::vector<long>{0});
    EXPECT_EQ(property32(dpy, owner, "_NET_SYSTEM_TRAY_VISUAL")->items,
              std::vector<long>{static_cast<long>(XVisualIDFromVisual(DefaultVisual(dpy, screen)))});

    // Eight client buttons share 837 - 60 columns; the last reaches into the tray.
    std::vector<Window> clients(8);
    for (Window& client : clients)
        client = add_client(BLUE);
    wm->set_net_client_list(clients);
    ASSERT_TRUE(wait_until([&] { return pixel(dpy, bar, 148 + 7 * 104 + 5, 12) == BLUE; }));
    const auto resources = client_resources(dpy, bar);
    const Window a = icon(), b = icon(), c = icon();
    for (Window w : {a, b, c})
        dock(w);
    ASSERT_TRUE(wait_until([&] { return in_slot(a, 0) && in_slot(b, 1) && in_slot(c, 2) && tray_shows(3); }));
    EXPECT_EQ(pixel(dpy, bar, 148 + 7 * 97 + 5, 12), BLUE);  // the last button's icon, moved
    XEvent notify{};
    ASSERT_TRUE(XCheckTypedWindowEvent(dpy, a, ClientMessage, &notify));
    EXPECT_EQ(notify.xclient.data.l[1], 0);  // XEMBED_EMBEDDED_NOTIFY
    EXPECT_EQ(static_cast<Window>(notify.xclient.data.l[3]), bar);

    XDestroyWindow(dpy, b);
    EXPECT_TRUE(wait_until([&] { return in_slot(a, 0) && in_slot(c, 1) && tray_shows(2); }));
    set_info(c, {0, 0});
    EXPECT_TRUE(wait_until([&] { return waiting(c) && tray_shows(1); }));
    set_info(c, {0, 1});
    XMoveResizeWindow(dpy, c, 0, 0, 40, 40);
    EXPECT_TRUE(wait_until([&] { return in_slot(c, 1) && tray_shows(2); }));
    XReparentWindow(dpy, a, root, 0, 0);  // taken away by its client
    EXPECT_TRUE(wait_until([&] { return in_slot(c, 0) && tray_shows(1); }));

    const Window later = XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0);
    take_tray_selection(dpy, later);
    EXPECT_TRUE(wait_until([&] { return parent(c) == root && !geometry(dpy, c)->viewable() && tray_shows(0); }));
    // Its tray window is gone; watching `later` counts as one resource instead.
    EXPECT_TRUE(wait_until([&] { return client_resources(dpy, bar)->total == resources->total; }));
}

TEST_F(TrayIcons, presses_on_the_tray_and_its_icons_change_nothing)
{
    start("panel-lite");
    const std::vector<Window> clients = show_three_clients();
    XSetInputFocus(dpy, clients[0], RevertToNone, CurrentTime);
    const Window a = icon();
    dock(a);
    ASSERT_TRUE(wait_until([&] { return looks_pressed(0) && in_slot(a, 0) && tray_shows(1); }));
    const auto before = capture(dpy, bar, 0, 0, screen_width - 44, 24);
    click_bar(screen_width - 55, 12);  // the icon takes no presses: they reach the bar
    click_bar(screen_width - 45, 12);
    click_bar(screen_width - 500, 23);  // collapses once the presses before are handled
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom() && waiting(a); }));
    click(dpy);
    ASSERT_TRUE(wait_until([&] { return expanded_bottom() && in_slot(a, 0); }));
    // The bar is expanded before it has repainted itself.
    std::optional<Image> after;
    const auto unchanged = [&] {
        after = capture(dpy, bar, 0, 0, screen_width - 44, 24);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < screen_width - 44; ++x)
                if (!after || before->at(x, y) != after->at(x, y))
                    return false;
        return true;
    };
    wait_until(unchanged);
    ASSERT_TRUE(after);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < screen_width - 44; ++x)
            ASSERT_EQ(before->at(x, y), after->at(x, y)) << x << "," << y;
    EXPECT_EQ(launched(), 0);
    EXPECT_EQ(focused_window(dpy), clients[0]);
}

TEST_F(NarrowTray, icons_beyond_half_the_client_room_wait_and_come_in_docking_order)
{
    start("panel-lite");
    wm->delete_root_property("_WIN_WORKSPACE_COUNT");  // room: 400 - 91, for 7 icons
    std::vector<Window> icons(9);
    for (Window& w : icons)
        dock(w = icon());
    const auto shown_from = [&](int first, int shown) {
        for (int i = first; i < 9; ++i)
            if (i - first < shown ? !in_slot(icons[i], i - first) : !waiting(icons[i]))
                return false;
        return tray_shows(shown);
    };
    EXPECT_TRUE(wait_until([&] { return shown_from(0, 7); }));
    XDestroyWindow(dpy, icons[0]);
    EXPECT_TRUE(wait_until([&] { return shown_from(1, 7); }));
    wm->set_win_workspace_count(4);  // room: 400 - 96 - 91, for 5
    EXPECT_TRUE(wait_until([&] { return shown_from(1, 5); }));
}

TEST_F(TrayIcons, bad_requests_and_odd_icons_leave_one_slot_per_icon_and_nothing_behind)
{
    start("panel-lite");
    const auto resources = client_resources(dpy, bar);
    const Window plain = icon(), bare = icon({}), wrong = icon({}), short_info = icon({});
    set_info(wrong, {1, 1}, XA_STRING, 8);
    set_info(short_info, {0});
    // A 32-bit icon docks; inside it, one drawn over its parent cannot live in the bar.
    XVisualInfo deep_visual{};
    ASSERT_TRUE(XMatchVisualInfo(dpy, screen, 32, TrueColor, &deep_visual));
    XSetWindowAttributes attributes{};
    attributes.colormap = XCreateColormap(dpy, root, deep_visual.visual, AllocNone);
    const Window deep = XCreateWindow(dpy, root, 0, 0, 30, 30, 0, 32, InputOutput, deep_visual.visual,
                                      CWColormap | CWBorderPixel | CWBackPixel, &attributes);
    attributes.background_pixmap = ParentRelative;
    const Window relative = XCreateWindow(dpy, deep, 0, 0, 8, 8, 0, 32, InputOutput, deep_visual.visual,
                                          CWColormap | CWBorderPixel | CWBackPixmap, &attributes);
    const std::vector<Window> good = {plain, bare, wrong, short_info, deep};
    const Window vanishing = icon();
    for (Window w : {plain, bare, wrong, short_info, deep, relative, root, bar, tray_owner(dpy),
                     Window(None), XCreatePixmap(dpy, root, 4, 4, 24), vanishing})
        dock(w);
    XDestroyWindow(dpy, vanishing);
    for (long i = 0; i < 300; ++i) {
        dock(good[i % good.size()]);
        dock(0x3ff0000 + i);  // no such window
        send_tray_opcode(dpy, i % 5 - 1, static_cast<long>(plain));  // balloons, unknown opcodes
    }
    for (std::size_t i = 0; i < good.size(); ++i)
        EXPECT_TRUE(wait_until([&] { return in_slot(good[i], static_cast<int>(i)); })) << i;
    EXPECT_TRUE(tray_shows(5));
    EXPECT_EQ(parent(relative), deep);

    for (Window w : good)
        XDestroyWindow(dpy, w);
    EXPECT_TRUE(wait_until([&] { return tray_shows(0) && client_resources(dpy, bar)->total == resources->total; }));
    EXPECT_TRUE(panel->running());
}
