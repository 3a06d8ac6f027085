// The harness checks itself: what other tests rely on must hold on a real
// server, or their failures would mislead.
#include "kit_test.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

using namespace kit_test;

TEST(ProgramRunner, passes_environment_and_path_and_captures_output_and_status)
{
    TempDir bin;
    bin.write_script("Start", "echo started \"$KIT_GREETING\"; echo oops >&2; exit 3");
    Program program("/bin/sh", {.display = std::string(":7"),
                                .env = {{"KIT_GREETING", "hello"}, {"HOME", std::nullopt}},
                                .path_prepend = bin.path(),
                                .args = {"-c", "echo \"$DISPLAY ${HOME-unset}\"; Start"}});
    EXPECT_EQ(program.wait_exit(10s), 3);
    EXPECT_EQ(program.stdout_text(), ":7 unset\nstarted hello\n");
    EXPECT_EQ(program.stderr_text(), "oops\n");
    EXPECT_FALSE(program.running());
}

TEST(ProgramRunner, stops_a_running_program_and_reports_the_signal)
{
    Program program("/bin/sleep", {.args = {"60"}});
    EXPECT_TRUE(program.running());
    EXPECT_FALSE(program.wait_exit(50ms));
    program.stop();
    EXPECT_FALSE(program.running());
    EXPECT_EQ(program.wait_exit(0ms), 128 + SIGTERM);

    Program missing("/nonexistent/program");
    EXPECT_EQ(missing.wait_exit(10s), 127);
}

class Harness : public XServerTest {};

TEST_F(Harness, the_server_is_private_and_sized_as_asked)
{
    EXPECT_EQ(screen_width, 1024);
    EXPECT_EQ(screen_height, 768);
    EXPECT_EQ(DefaultDepth(dpy, screen), 24);
    EXPECT_STREQ(getenv("DISPLAY"), server().display_name().c_str());
    EXPECT_TRUE(has_xtest(dpy));

    // A second server gets its own display and is gone, reaped, once stopped.
    XServer other;
    EXPECT_NE(other.display_name(), server().display_name());
    Display* other_dpy = other.open();
    ASSERT_NE(other_dpy, nullptr);
    XCloseDisplay(other_dpy);
    const pid_t pid = other.pid();
    other.stop();
    EXPECT_NE(kill(pid, 0), 0);
}

TEST_F(Harness, scripted_clients_carry_the_properties_asked_for)
{
    ScriptedWm wm;
    const Pixmap icon = wm.create_pixmap(48, 48, 24, [](int x, int) { return x < 24 ? 0xff0000ul : 0x0000fful; });
    const Pixmap mask = wm.create_bitmap(48, 48, [](int x, int y) { return x == y; });
    const std::string two_names("first\0second", 12);
    const Window client = wm.create_client({.name = compound_text(two_names),
                                            .wm_hints = WmHintsSetup{.icon = icon, .mask = mask},
                                            .kwm_win_icon = std::pair{icon, mask},
                                            .workspace = 2,
                                            .win_hints = 4,
                                            .wm_state = IconicState});

    const auto name = property_bytes(dpy, client, "WM_NAME");
    ASSERT_TRUE(name);
    EXPECT_EQ(atom_name(dpy, name->type), "COMPOUND_TEXT");
    EXPECT_EQ(name->bytes, two_names);
    XWMHints* hints = XGetWMHints(dpy, client);
    ASSERT_NE(hints, nullptr);
    EXPECT_EQ(hints->flags, InputHint | IconPixmapHint | IconMaskHint);
    EXPECT_EQ(hints->icon_pixmap, icon);
    EXPECT_EQ(hints->icon_mask, mask);
    XFree(hints);
    EXPECT_EQ(property32(dpy, client, "KWM_WIN_ICON")->items, (std::vector<long>{long(icon), long(mask)}));
    EXPECT_EQ(property32(dpy, client, "_WIN_WORKSPACE")->items, std::vector<long>{2});
    EXPECT_EQ(property32(dpy, client, "_WIN_HINTS")->items, std::vector<long>{4});
    const auto state = property32(dpy, client, "WM_STATE");
    EXPECT_EQ(atom_name(dpy, state->type), "WM_STATE");
    EXPECT_EQ(state->items, (std::vector<long>{IconicState, None}));
    EXPECT_TRUE(geometry(dpy, client)->viewable());

    // The pixmaps hold the pattern asked for.
    const auto pixels = capture(dpy, icon, 0, 0, 48, 48);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->at(0, 0), 0xff0000ul);
    EXPECT_EQ(pixels->at(47, 47), 0x0000fful);
    const auto bits = capture(dpy, mask, 0, 0, 48, 48);
    ASSERT_TRUE(bits);
    EXPECT_EQ(bits->at(5, 5), 1ul);
    EXPECT_EQ(bits->at(5, 6), 0ul);

    // Raw odd data, then gone.
    wm.set_name(client, TextValue{.bytes = "ab", .type = "INTEGER", .format = 8});
    EXPECT_EQ(atom_name(dpy, property_bytes(dpy, client, "WM_NAME")->type), "INTEGER");
    wm.set_name(client, std::nullopt);
    EXPECT_FALSE(property_bytes(dpy, client, "WM_NAME"));

    // Its connection owns the window and the two pixmaps.
    const auto resources = client_resources(dpy, client);
    ASSERT_TRUE(resources);
    EXPECT_EQ(resources->windows, 1);
    EXPECT_EQ(resources->pixmaps, 2);
    wm.destroy(client);
    EXPECT_FALSE(geometry(dpy, client));
    take_x_errors();
}

TEST_F(Harness, root_lists_and_desktops_are_published_and_withdrawn)
{
    ScriptedWm wm;
    const Window a = wm.create_client(), b = wm.create_client({.mapped = false});
    wm.set_net_client_list({a, b});
    wm.set_win_client_list({b});
    wm.set_win_workspace(1);
    wm.set_win_workspace_count(4);
    const auto net = property32(dpy, root, "_NET_CLIENT_LIST");
    EXPECT_EQ(atom_name(dpy, net->type), "WINDOW");
    EXPECT_EQ(net->items, (std::vector<long>{long(a), long(b)}));
    EXPECT_EQ(atom_name(dpy, property32(dpy, root, "_WIN_CLIENT_LIST")->type), "CARDINAL");
    EXPECT_EQ(property32(dpy, root, "_WIN_WORKSPACE")->items, std::vector<long>{1});
    EXPECT_EQ(property32(dpy, root, "_WIN_WORKSPACE_COUNT")->items, std::vector<long>{4});
    EXPECT_FALSE(geometry(dpy, b)->viewable());

    wm.set_root_property("_WIN_WORKSPACE_COUNT", "STRING", 8, {'4'});
    EXPECT_FALSE(property32(dpy, root, "_WIN_WORKSPACE_COUNT"));
    wm.delete_root_property("_NET_CLIENT_LIST");
    EXPECT_FALSE(property_bytes(dpy, root, "_NET_CLIENT_LIST"));
}

TEST_F(Harness, messages_to_the_root_are_seen_and_optionally_answered)
{
    ScriptedWm wm;
    wm.answer_iconify(true);
    wm.answer_workspace_requests(true);
    const Window client = wm.create_client({.wm_state = NormalState});

    // As a client asks: XIconifyWindow sends WM_CHANGE_STATE.
    XIconifyWindow(dpy, client, screen);
    XFlush(dpy);
    const auto iconify = wm.wait_for_message("WM_CHANGE_STATE");
    ASSERT_TRUE(iconify);
    EXPECT_EQ(iconify->window, client);
    EXPECT_EQ(iconify->data[0], IconicState);
    EXPECT_TRUE(wait_until([&] { return !geometry(dpy, client)->viewable(); }));
    EXPECT_TRUE(wait_until([&] { return property32(dpy, client, "WM_STATE")->items[0] == IconicState; }));

    // A desktop switch as the panel sends it.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = root;
    event.xclient.message_type = atom(dpy, "_WIN_WORKSPACE");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 3;
    XSendEvent(dpy, root, False, SubstructureNotifyMask, &event);
    XFlush(dpy);
    const auto request = wm.wait_for_message("_WIN_WORKSPACE");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->data[0], 3);
    EXPECT_TRUE(wait_until([&] {
        const auto desktop = property32(dpy, root, "_WIN_WORKSPACE");
        return desktop && desktop->items == std::vector<long>{3};
    }));

    // Plain X behaviour stays: nobody redirects a map.
    const Window plain = XCreateSimpleWindow(dpy, root, 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(dpy, plain);
    sync(dpy);
    EXPECT_TRUE(geometry(dpy, plain)->viewable());
    wm.clear_messages();
    EXPECT_FALSE(wm.wait_for_message("_WIN_WORKSPACE", 50ms));
}

TEST_F(Harness, xtest_input_reaches_the_window_under_the_pointer)
{
    const Window target = XCreateSimpleWindow(dpy, root, 100, 100, 50, 50, 0, 0, 0);
    XSelectInput(dpy, target, ButtonPressMask | ButtonReleaseMask);
    XMapWindow(dpy, target);
    sync(dpy);
    EXPECT_EQ(all_event_masks(dpy, target), ButtonPressMask | ButtonReleaseMask);

    click_at(dpy, 110, 120, 3);
    XEvent event;
    ASSERT_TRUE(wait_until([&] { return XCheckTypedWindowEvent(dpy, target, ButtonPress, &event); }));
    EXPECT_EQ(event.xbutton.button, 3u);
    EXPECT_EQ(event.xbutton.x, 10);
    EXPECT_EQ(event.xbutton.y, 20);
    ASSERT_TRUE(wait_until([&] { return XCheckTypedWindowEvent(dpy, target, ButtonRelease, &event); }));

    EXPECT_EQ(stacking_order(dpy).back(), target);
    XSetInputFocus(dpy, target, RevertToPointerRoot, CurrentTime);
    EXPECT_EQ(focused_window(dpy), target);
}

class SmallServer : public XServerTest {
protected:
    ServerOptions server_options() const override { return {.width = 640, .height = 480, .depth = 16}; }
};

TEST_F(SmallServer, the_size_and_depth_follow_the_options)
{
    EXPECT_EQ(screen_width, 640);
    EXPECT_EQ(screen_height, 480);
    EXPECT_EQ(DefaultDepth(dpy, screen), 16);
}

