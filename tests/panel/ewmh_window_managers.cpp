// The bar under a window manager that publishes only the EWMH hints:
// desktops, the skip rule, requests, activation, icons and the bar's own
// marks all follow the _NET_* properties where the older ones are absent.
#include "input_running_panel.hpp"

#include <cstdint>

namespace {

constexpr unsigned long OPAQUE_RED = 0xFFFF0000;

class EwmhOnlyPanel : public RunningPanel {
protected:
    // Like RunningPanel::start, but the root carries only EWMH desktop hints.
    void start_ewmh(const std::string& program = "panel-lite")
    {
        wm->set_root_property("_NET_NUMBER_OF_DESKTOPS", "CARDINAL", 32, {4});
        wm->set_root_property("_NET_CURRENT_DESKTOP", "CARDINAL", 32, {0});
        ProgramOptions options;
        options.path_prepend = commands.path();
        panel = std::make_unique<Program>(program_path(program), options);
        const auto window = wait_for_panel_window(dpy);
        ASSERT_TRUE(window) << "no bar appeared";
        bar = *window;
        ASSERT_TRUE(wait_until([&] { return painted(); }));
    }

    Window client(unsigned long icon_colour, std::optional<long> net_desktop)
    {
        const Window window = add_client(icon_colour);
        if (net_desktop)
            wm->set_property(window, "_NET_WM_DESKTOP", "CARDINAL", 32, {*net_desktop});
        return window;
    }

    // The colour in the middle of slot `index`'s icon; slots start at 148
    // with four desktop buttons and are 145 apart while there are few.
    std::optional<unsigned long> icon_middle(int index) { return pixel(dpy, bar, slot(index).left + 10, 12); }
    bool desktop_sunken(int desktop)
    {
        return pixel(dpy, bar, 48 + 24 * desktop + 10, 12) == panel_pixel(dpy, PanelColor::FacePressed);
    }

    std::vector<long> atoms(std::initializer_list<const char*> names)
    {
        std::vector<long> list;
        for (const char* name : names)
            list.push_back(static_cast<long>(wm->atom(name)));
        return list;
    }
};

std::uint32_t low32(long item) { return static_cast<std::uint32_t>(item); }

// One ARGB image of `side` pixels: opaque red with fully transparent corners.
void add_icon_image(std::vector<long>& items, int side)
{
    items.push_back(side);
    items.push_back(side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool corner = (x < side / 8 || x >= side - side / 8) && (y < side / 8 || y >= side - side / 8);
            items.push_back(corner ? 0 : static_cast<long>(OPAQUE_RED));
        }
}

TEST_F(EwmhOnlyPanel, buttons_follow_the_current_desktop_and_sticky_windows_show_on_every_one)
{
    start_ewmh();
    EXPECT_TRUE(desktop_sunken(0));
    const Window on_first = client(RED, 0);
    const Window on_second = client(GREEN, 1);
    const Window sticky = client(BLUE, 0xFFFFFFFF);
    wm->set_net_client_list({on_first, on_second, sticky});
    EXPECT_TRUE(wait_until([&] { return icon_middle(0) == RED && icon_middle(1) == BLUE; }));

    wm->set_root_property("_NET_CURRENT_DESKTOP", "CARDINAL", 32, {1});
    EXPECT_TRUE(wait_until([&] { return icon_middle(0) == GREEN && icon_middle(1) == BLUE; }));
    EXPECT_TRUE(desktop_sunken(1));
    EXPECT_FALSE(desktop_sunken(0));
}

TEST_F(EwmhOnlyPanel, skip_state_and_dock_or_desktop_types_stay_off_unless_older_hints_say_otherwise)
{
    start_ewmh();
    const Window skipped = client(RED, 0);
    wm->set_property(skipped, "_NET_WM_STATE", "ATOM", 32, atoms({"_NET_WM_STATE_SKIP_TASKBAR"}));
    const Window dock = client(RED, 0);
    wm->set_property(dock, "_NET_WM_WINDOW_TYPE", "ATOM", 32, atoms({"_NET_WM_WINDOW_TYPE_DOCK"}));
    const Window desktop = client(RED, 0);
    wm->set_property(desktop, "_NET_WM_WINDOW_TYPE", "ATOM", 32, atoms({"_NET_WM_WINDOW_TYPE_DESKTOP"}));
    const Window older_hints_win = client(GREEN, 0);
    wm->set_property(older_hints_win, "_NET_WM_STATE", "ATOM", 32, atoms({"_NET_WM_STATE_SKIP_TASKBAR"}));
    wm->set_win_hints(older_hints_win, 0);

    wm->set_net_client_list({skipped, dock, desktop, older_hints_win});
    EXPECT_TRUE(wait_until([&] { return icon_middle(0) == GREEN; }));
    EXPECT_EQ(icon_middle(1), panel_pixel(dpy, PanelColor::Face));
}

TEST_F(EwmhOnlyPanel, a_desktop_button_asks_with_the_ewmh_message_and_the_press_time)
{
    start_ewmh();
    click_bar(48 + 2 * 24 + 12, 12);
    const auto message = wm->wait_for_message("_NET_CURRENT_DESKTOP");
    ASSERT_TRUE(message);
    EXPECT_EQ(message->window, DefaultRootWindow(dpy));
    EXPECT_EQ(message->format, 32);
    EXPECT_EQ(message->data[0], 2);
    EXPECT_NE(message->data[1], 0) << "the press's time stamp";
    EXPECT_TRUE(messages("_WIN_WORKSPACE").empty());

    // Where the older hint is there, the older message is sent instead.
    wm->clear_messages();
    wm->set_win_workspace(0);
    click_bar(48 + 3 * 24 + 12, 12);
    const auto older = wm->wait_for_message("_WIN_WORKSPACE");
    ASSERT_TRUE(older);
    EXPECT_EQ(older->data[0], 3);
    EXPECT_TRUE(messages("_NET_CURRENT_DESKTOP").empty());
}

TEST_F(EwmhOnlyPanel, raising_or_restoring_asks_for_activation_where_the_manager_supports_it)
{
    start_ewmh();
    wm->set_root_property("_NET_SUPPORTED", "ATOM", 32, atoms({"_NET_CLIENT_LIST", "_NET_ACTIVE_WINDOW"}));
    const Window first = client(RED, 0);
    wm->set_net_client_list({first});
    ASSERT_TRUE(wait_until([&] { return icon_middle(0) == RED; }));

    click_bar(slot(0).left + 40, 12);
    const auto activation = wm->wait_for_message("_NET_ACTIVE_WINDOW");
    ASSERT_TRUE(activation);
    EXPECT_EQ(activation->window, first);
    EXPECT_EQ(activation->data[0], 2) << "a pager's request";
    EXPECT_NE(activation->data[1], 0) << "the press's time stamp";
    EXPECT_EQ(low32(activation->data[2]), bar);

    // Minimising asks for nothing more than the iconify.
    ASSERT_TRUE(wait_until([&] { return looks_pressed(0); }));
    wm->clear_messages();
    click_bar(slot(0).left + 40, 12);
    ASSERT_TRUE(wm->wait_for_message("WM_CHANGE_STATE"));
    EXPECT_TRUE(messages("_NET_ACTIVE_WINDOW").empty());

    // Restoring asks again.
    click_bar(slot(0).left + 40, 12);
    EXPECT_TRUE(wm->wait_for_message("_NET_ACTIVE_WINDOW"));
}

TEST_F(EwmhOnlyPanel, no_activation_request_where_the_manager_does_not_list_it)
{
    start_ewmh();
    const Window first = client(RED, 0);
    wm->set_net_client_list({first});
    ASSERT_TRUE(wait_until([&] { return icon_middle(0) == RED; }));
    click_bar(slot(0).left + 40, 12);
    ASSERT_TRUE(wait_until([&] { return focused_window(dpy) == first; }));
    EXPECT_TRUE(messages("_NET_ACTIVE_WINDOW").empty());
}

TEST_F(EwmhOnlyPanel, clients_offering_only_net_wm_icon_show_it_with_transparent_corners)
{
    start_ewmh();
    std::vector<Window> clients;
    for (int side : {16, 32, 48}) {
        ClientSetup setup;
        setup.name = string_text("icon");
        const Window window = wm->create_client(setup);
        std::vector<long> items;
        add_icon_image(items, 8);  // smaller images are passed over
        add_icon_image(items, side);
        wm->set_property(window, "_NET_WM_ICON", "CARDINAL", 32, items);
        clients.push_back(window);
    }
    wm->set_net_client_list(clients);
    const unsigned long red = alloc_panel_color(dpy, 0xFFFF, 0, 0);
    const unsigned long face = panel_pixel(dpy, PanelColor::Face);
    for (int i = 0; i < 3; ++i) {
        const int icon_left = slot(i).left + 2;  // unpressed: content origin at the slot
        EXPECT_TRUE(wait_until([&] { return pixel(dpy, bar, icon_left + 8, 4 + 8) == red; })) << i;
        EXPECT_EQ(pixel(dpy, bar, icon_left, 4), face) << "transparent corner of slot " << i;
        EXPECT_EQ(pixel(dpy, bar, icon_left + 15, 4 + 15), face) << i;
    }
}

TEST_F(EwmhOnlyPanel, an_icon_offered_later_replaces_the_fallback)
{
    start_ewmh();
    ClientSetup setup;
    setup.name = string_text("late");
    const Window window = wm->create_client(setup);
    wm->set_net_client_list({window});
    const unsigned long red = alloc_panel_color(dpy, 0xFFFF, 0, 0);
    const int icon_left = slot(0).left + 2;
    ASSERT_TRUE(wait_until([&] { return pixel(dpy, bar, icon_left + 8, 12) != panel_pixel(dpy, PanelColor::Face); }));
    EXPECT_NE(pixel(dpy, bar, icon_left + 8, 12), red);

    std::vector<long> items;
    add_icon_image(items, 16);
    wm->set_property(window, "_NET_WM_ICON", "CARDINAL", 32, items);
    EXPECT_TRUE(wait_until([&] { return pixel(dpy, bar, icon_left + 8, 12) == red; }));
}

TEST_F(EwmhOnlyPanel, the_bar_marks_itself_a_dock_and_reserves_its_hidden_height_along_its_edge)
{
    start_ewmh();
    const auto type = property32(dpy, bar, "_NET_WM_WINDOW_TYPE");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->items, atoms({"_NET_WM_WINDOW_TYPE_DOCK"}));
    const auto desktop = property32(dpy, bar, "_NET_WM_DESKTOP");
    ASSERT_TRUE(desktop && desktop->items.size() == 1);
    EXPECT_EQ(low32(desktop->items[0]), 0xFFFFFFFFu);
    const auto state = property32(dpy, bar, "_NET_WM_STATE");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->items, atoms({"_NET_WM_STATE_STICKY", "_NET_WM_STATE_ABOVE",
                                   "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}));
    // And once mapped, it asks for "above" again, as an application would.
    const auto above = wm->wait_for_message("_NET_WM_STATE");
    ASSERT_TRUE(above);
    EXPECT_EQ(above->window, bar);
    EXPECT_EQ(std::vector<long>(above->data, above->data + 4), (std::vector<long>{1, atoms({"_NET_WM_STATE_ABOVE"})[0], 0, 1}));

    const long right = screen_width - 1;
    const std::vector<long> bottom{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, right};
    EXPECT_EQ(property32(dpy, bar, "_NET_WM_STRUT_PARTIAL")->items, bottom);
    EXPECT_EQ(property32(dpy, bar, "_NET_WM_STRUT")->items, std::vector<long>(bottom.begin(), bottom.begin() + 4));

    // The edge switch moves the reservation to the top.
    click_bar(screen_width - 1, 12);
    const std::vector<long> top{0, 0, 2, 0, 0, 0, 0, 0, 0, right, 0, 0};
    EXPECT_TRUE(wait_until([&] { return property32(dpy, bar, "_NET_WM_STRUT_PARTIAL")->items == top; }));
    EXPECT_EQ(property32(dpy, bar, "_NET_WM_STRUT")->items, std::vector<long>(top.begin(), top.begin() + 4));
}

}  // namespace
