// Status icons in a running panel-lite's tray: icons made on the test's own
// connection dock, take their slots left of the clock, leave, wait for room,
// follow the bar, and go to another tray that takes the selection.
#include "input_running_panel.hpp"
#include "robust_bar.hpp"

#include <X11/Xatom.h>

namespace {

using robust_test::same_pixels;

class TrayIcons : public RunningPanel {
protected:
    // A client's icon window, 30 by 30 until the bar sizes it, with
    // _XEMBED_INFO flags `flags` (none at all for nullopt).
    Window icon(std::optional<long> flags = 1)
    {
        const Window window = XCreateSimpleWindow(dpy, root, 0, 0, 30, 30, 0, 0, RED);
        if (flags)
            set_info(window, XInternAtom(dpy, "_XEMBED_INFO", False), 32, {0, *flags});
        return window;
    }
    void set_info(Window window, Atom type, int format, std::vector<long> items)
    {
        XChangeProperty(dpy, window, XInternAtom(dpy, "_XEMBED_INFO", False), type, format,
                        PropModeReplace, reinterpret_cast<unsigned char*>(items.data()),
                        static_cast<int>(items.size()));
        sync(dpy);
    }
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
        const Geometry b = bar_geometry();
        return g && g->viewable() && parent(window) == bar && g->x == screen_width - 61 - 20 * slot &&
               g->y == b.y + 4 && g->width == 16 && g->height == 16;
    }
    bool docked_but_hidden(Window window)
    {
        return parent(window) == bar && !geometry(dpy, window)->viewable();
    }
    // The tray's groove at its first two columns for `shown` icons, face
    // over the rest; none at all when no icon is shown.
    bool tray_shows(int shown)
    {
        const unsigned long face = panel_pixel(dpy, PanelColor::Face);
        const int left = screen_width - 43 - 20 * std::max(shown, 1);
        return pixel(dpy, bar, left, 12) == (shown ? panel_pixel(dpy, PanelColor::Shadow) : face) &&
               pixel(dpy, bar, left + 1, 12) == (shown ? panel_pixel(dpy, PanelColor::Highlight) : face) &&
               pixel(dpy, bar, screen_width - 45, 12) == face;
    }
};

class NarrowTray : public TrayIcons {
    ServerOptions server_options() const override { return {.width = 400}; }
};

}  // namespace

TEST_F(TrayIcons, icons_dock_left_of_the_clock_close_up_when_one_leaves_and_outlive_the_bar)
{
    XSelectInput(dpy, root, StructureNotifyMask);  // to see the announcement
    start("panel-lite");
    const Window owner = tray_owner(dpy);
    ASSERT_NE(owner, None);
    XEvent manager{};
    ASSERT_TRUE(wait_until([&] { return XCheckTypedWindowEvent(dpy, root, ClientMessage, &manager); }));
    EXPECT_EQ(atom_name(dpy, manager.xclient.message_type), "MANAGER");
    EXPECT_EQ(static_cast<Window>(manager.xclient.data.l[2]), owner);
    EXPECT_EQ(property32(dpy, owner, "_NET_SYSTEM_TRAY_ORIENTATION")->items, std::vector<long>{0});
    const auto visual = property32(dpy, owner, "_NET_SYSTEM_TRAY_VISUAL");
    EXPECT_EQ(atom_name(dpy, visual->type), "VISUALID");
    EXPECT_EQ(visual->items, std::vector<long>{static_cast<long>(XVisualIDFromVisual(DefaultVisual(dpy, screen)))});

    // Eight client buttons share 837 - 60 columns; the last reaches into the tray.
    std::vector<Window> clients;
    for (int i = 0; i < 8; ++i)
        clients.push_back(add_client(BLUE));
    wm->set_net_client_list(clients);
    const Window a = icon(), b = icon(), c = icon();
    for (Window w : {a, b, c})
        request_dock(dpy, w);
    ASSERT_TRUE(wait_until([&] { return in_slot(a, 0) && in_slot(b, 1) && in_slot(c, 2) && tray_shows(3); }));
    EXPECT_EQ(pixel(dpy, bar, 148 + 7 * 97 + 5, 12), BLUE);  // the last button's icon
    XEvent notify{};
    ASSERT_TRUE(XCheckTypedWindowEvent(dpy, a, ClientMessage, &notify));
    EXPECT_EQ(atom_name(dpy, notify.xclient.message_type), "_XEMBED");
    EXPECT_EQ(notify.xclient.data.l[1], 0);  // EMBEDDED_NOTIFY
    EXPECT_EQ(static_cast<Window>(notify.xclient.data.l[3]), bar);

    XDestroyWindow(dpy, b);
    EXPECT_TRUE(wait_until([&] { return in_slot(a, 0) && in_slot(c, 1) && tray_shows(2); }));
    set_info(c, XInternAtom(dpy, "_XEMBED_INFO", False), 32, {0, 0});
    EXPECT_TRUE(wait_until([&] { return docked_but_hidden(c) && tray_shows(1); }));
    set_info(c, XInternAtom(dpy, "_XEMBED_INFO", False), 32, {0, 1});
    EXPECT_TRUE(wait_until([&] { return in_slot(c, 1) && tray_shows(2); }));
    XResizeWindow(dpy, c, 40, 40);
    XMoveWindow(dpy, c, 0, 0);
    EXPECT_TRUE(wait_until([&] { return in_slot(c, 1); }));
    XReparentWindow(dpy, a, root, 0, 0);  // taken away by its client
    EXPECT_TRUE(wait_until([&] { return in_slot(c, 0) && tray_shows(1); }));

    panel->stop();
    // Kept by the save-set, unmapped so that no window manager frames it.
    EXPECT_TRUE(wait_until([&] { return parent(c) == root; }));
    EXPECT_FALSE(geometry(dpy, c)->viewable());
}

TEST_F(TrayIcons, presses_on_the_tray_do_nothing_and_icons_follow_the_bar)
{
    start("panel-lite");
    const std::vector<Window> clients = show_three_clients();
    XSetInputFocus(dpy, clients[0], RevertToNone, CurrentTime);
    ASSERT_TRUE(wait_until([&] { return looks_pressed(0); }));
    const Window a = icon();
    request_dock(dpy, a);
    ASSERT_TRUE(wait_until([&] { return in_slot(a, 0) && tray_shows(1); }));

    // On the icon (which takes no presses) and beside it.
    const auto before = capture(dpy, bar, 0, 0, screen_width - 44, 24);
    click_bar(screen_width - 55, 12);
    click_bar(screen_width - 45, 12);
    click_bar(screen_width - 500, 23);  // the collapse band, so that the clicks are handled
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom() && docked_but_hidden(a); }));
    click(dpy);  // where the pointer rests: a move onto the strip would expand it already
    ASSERT_TRUE(wait_until([&] { return expanded_bottom() && in_slot(a, 0); }));
    EXPECT_TRUE(same_pixels(*before, *capture(dpy, bar, 0, 0, screen_width - 44, 24)));
    EXPECT_EQ(launched(), 0);
    EXPECT_EQ(focused_window(dpy), clients[0]);

    click_bar(screen_width - 1, 12);
    EXPECT_TRUE(wait_until([&] { return expanded_top() && in_slot(a, 0); }));
}

TEST_F(NarrowTray, icons_beyond_half_the_client_room_wait_and_come_in_docking_order)
{
    start("panel-lite");
    wm->delete_root_property("_WIN_WORKSPACE_COUNT");  // room: 400 - 91, for 7 icons
    std::vector<Window> icons;
    for (int i = 0; i < 9; ++i) {
        icons.push_back(icon());
        request_dock(dpy, icons.back());
    }
    const auto slots_from = [&](int first, int shown) {
        for (int i = first; i < static_cast<int>(icons.size()); ++i)
            if (i - first < shown ? !in_slot(icons[i], i - first) : !docked_but_hidden(icons[i]))
                return false;
        return tray_shows(shown);
    };
    EXPECT_TRUE(wait_until([&] { return slots_from(0, 7); }));
    XDestroyWindow(dpy, icons[0]);
    EXPECT_TRUE(wait_until([&] { return slots_from(1, 7); }));
    wm->set_win_workspace_count(4);  // room: 400 - 96 - 91, for 5
    EXPECT_TRUE(wait_until([&] { return slots_from(1, 5); }));
}

TEST_F(TrayIcons, another_tray_keeps_the_selection_until_it_goes_and_takes_the_icons_when_it_comes)
{
    auto other = std::make_unique<OtherTray>();
    other->take();
    start("panel-lite");
    // Watching the other tray's window counts as a resource, as each icon does.
    const auto resources = client_resources(dpy, bar);
    const Window a = icon(), b = icon();
    request_dock(dpy, a);
    EXPECT_EQ(other->embed_requests(), std::vector<Window>{a});
    EXPECT_EQ(tray_owner(dpy), other->window());

    other.reset();
    ASSERT_TRUE(wait_until([&] { return tray_owner(dpy) != None; }));
    request_dock(dpy, a);
    request_dock(dpy, b);
    ASSERT_TRUE(wait_until([&] { return in_slot(a, 0) && in_slot(b, 1); }));

    other = std::make_unique<OtherTray>();
    other->take();
    EXPECT_TRUE(wait_until([&] { return parent(a) == root && parent(b) == root && tray_shows(0); }));
    EXPECT_FALSE(geometry(dpy, a)->viewable());
    request_dock(dpy, b);
    EXPECT_EQ(other->embed_requests(), std::vector<Window>{b});
    EXPECT_EQ(client_resources(dpy, bar)->total, resources->total);
}

TEST_F(TrayIcons, bad_requests_and_odd_icons_leave_one_slot_per_icon_and_nothing_behind)
{
    start("panel-lite");
    const auto resources = client_resources(dpy, bar);
    const Atom info = XInternAtom(dpy, "_XEMBED_INFO", False);
    const Window plain = icon(), bare = icon(std::nullopt), wrong = icon(std::nullopt),
                 short_info = icon(std::nullopt);
    set_info(wrong, XA_STRING, 8, {1, 1});
    set_info(short_info, info, 32, {0});
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
    const Pixmap pixmap = XCreatePixmap(dpy, root, 4, 4, 24);
    const std::vector<Window> good = {plain, bare, wrong, short_info, deep};
    for (Window w : good)
        request_dock(dpy, w);
    for (Window w : {relative, root, bar, tray_owner(dpy), Window(None), Window(pixmap)})
        request_dock(dpy, w);
    const Window vanishing = icon();
    send_tray_opcode(dpy, 0, static_cast<long>(vanishing));
    XDestroyWindow(dpy, vanishing);
    for (int i = 0; i < 300; ++i) {
        request_dock(dpy, good[i % good.size()]);
        request_dock(dpy, 0x3ff0000 + i);  // no such window
    }
    send_tray_opcode(dpy, 1, 5000);  // a balloon message, its cancel, unknown opcodes
    send_tray_opcode(dpy, 2, 1);
    send_tray_opcode(dpy, 77, static_cast<long>(plain));
    send_tray_opcode(dpy, -1, static_cast<long>(plain));

    click_bar(500, 23);  // handled once everything before it has been
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    click(dpy);
    for (std::size_t i = 0; i < good.size(); ++i)
        EXPECT_TRUE(wait_until([&] { return in_slot(good[i], static_cast<int>(i)); })) << i;
    EXPECT_TRUE(tray_shows(5));
    EXPECT_EQ(parent(relative), deep);

    for (Window w : good)
        XDestroyWindow(dpy, w);
    EXPECT_TRUE(wait_until([&] { return tray_shows(0); }));
    EXPECT_EQ(client_resources(dpy, bar)->total, resources->total);
    EXPECT_TRUE(panel->running());
}
