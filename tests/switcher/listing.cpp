// Opening the pop-up and what it lists: start-up paths, sizes, labels and
// which windows count as clients.
#include "switcher_fixture.hpp"

using namespace switcher_test;

TEST_F(SwitcherTest, without_a_display_it_says_so_on_standard_output_and_exits_0)
{
    const std::string message = "vok: cannot open display, make sure DISPLAY is set.\n";
    Program unset(program_path("switcher"), {.unset_display = true});
    EXPECT_EQ(unset.wait_exit(), 0);
    EXPECT_EQ(unset.stdout_text(), message);
    EXPECT_EQ(unset.stderr_text(), "");

    // A display nobody serves. (A server stopped for the purpose would free
    // its number for the next server another test starts meanwhile.)
    Program unserved(program_path("switcher"), {.display = std::string(":65002")});
    EXPECT_EQ(unserved.wait_exit(), 0);
    EXPECT_EQ(unserved.stdout_text(), message);
}

TEST_F(SwitcherTest, without_the_fixed_font_it_ends_silently_without_a_window)
{
    // The server always keeps its built-in "fixed" behind the -fp folders,
    // so the path is narrowed at run time to a folder that lacks it.
    char folder[] = "/usr/share/fonts/X11/75dpi";
    char* path[] = {folder};
    XSetFontPath(dpy, path, 1);
    XFontStruct* fixed = XLoadQueryFont(dpy, "fixed");
    ASSERT_EQ(fixed, nullptr) << "the font path still offers fixed";
    XSelectInput(dpy, root, SubstructureNotifyMask);
    sync(dpy);

    Program program(program_path("switcher"));
    EXPECT_EQ(program.wait_exit(), 0);
    EXPECT_EQ(program.stdout_text(), "");
    EXPECT_EQ(program.stderr_text(), "");
    sync(dpy);
    XEvent event;
    EXPECT_FALSE(XCheckTypedEvent(dpy, CreateNotify, &event)) << "a window was created";
}

TEST_F(SwitcherTest, with_no_window_manager_an_empty_pop_up_of_60_by_5_opens_at_the_pointer)
{
    start_switcher(230, 170);
    ASSERT_TRUE(popup_sized(60, 5));
    const auto where = geometry(dpy, popup);
    EXPECT_EQ(where->x, 230);
    EXPECT_EQ(where->y, 170);
    EXPECT_EQ(where->border_width, 1);
    EXPECT_TRUE(popup_shows({}));

    // An ordinary window: managed like any client, named, listening only
    // for exposure and clicks, and carrying no other property.
    XWindowAttributes attributes;
    XGetWindowAttributes(dpy, popup, &attributes);
    EXPECT_FALSE(attributes.override_redirect);
    EXPECT_EQ(all_event_masks(dpy, popup), ExposureMask | ButtonPressMask);
    int count = 0;
    Atom* properties = XListProperties(dpy, popup, &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(atom_name(dpy, properties[0]), "WM_NAME");
    XFree(properties);
    EXPECT_TRUE(switcher->running());
}

TEST_F(SwitcherTest, three_clients_with_a_20_byte_label_make_a_pop_up_of_110_by_41)
{
    client("terminal");
    client("twenty bytes of name");
    client("mail", ICONIC);
    start_switcher();
    EXPECT_TRUE(popup_sized(110, 41));
    // Bottom-most first, the whole list drawn again after each growth.
    EXPECT_TRUE(popup_shows({"terminal", "twenty bytes of name", "(mail)"}));
}

TEST_F(SwitcherTest, labels_of_9_bytes_or_less_keep_the_pop_up_60_wide)
{
    client("123456789");
    client("short");
    start_switcher();
    EXPECT_TRUE(popup_sized(60, 29));
    EXPECT_TRUE(popup_shows({"123456789", "short"}));
}

TEST_F(SwitcherTest, long_names_are_cut_to_79_bytes)
{
    // Each label's length shows in the width: 5 pixels a byte, plus 10.
    struct Case {
        std::size_t bytes;
        long state;
        int width;
    };
    for (const Case& c : {Case{79, NORMAL, 405}, Case{80, NORMAL, 405}, Case{300, NORMAL, 405},
                          Case{77, ICONIC, 405}, Case{78, ICONIC, 405}, Case{76, NORMAL, 390}}) {
        SCOPED_TRACE(std::to_string(c.bytes) + " bytes, state " + std::to_string(c.state));
        std::string name(c.bytes, 'n');
        name.replace(0, 6, "window");
        const Window window = client(name, c.state);
        start_switcher();
        EXPECT_TRUE(popup_sized(c.width, 17));
        const std::string shown = c.state == NORMAL ? name : "(" + name + ")";
        EXPECT_TRUE(popup_shows({shown.substr(0, 79)}));  // its visible start
        switcher.reset();
        wm->destroy(window);
    }
}

TEST_F(SwitcherTest, nameless_clients_show_unknown_in_either_state)
{
    client(std::nullopt, NORMAL);
    client(std::nullopt, ICONIC);
    start_switcher();
    EXPECT_TRUE(popup_sized(60, 29));
    EXPECT_TRUE(popup_shows({"unknown", "unknown"}));
}

TEST_F(SwitcherTest, only_a_normal_window_named_exactly_like_the_pop_up_is_left_out)
{
    client("vokSwitch", NORMAL);
    client("vokSwitch", ICONIC);
    client("vokSwitch2", NORMAL);
    start_switcher();
    EXPECT_TRUE(popup_sized(65, 29));
    EXPECT_TRUE(popup_shows({"(vokSwitch)", "vokSwitch2"}));
}

TEST_F(SwitcherTest, clients_are_found_below_unmarked_windows_but_not_inside_clients)
{
    // A frame as a reparenting manager makes it: no WM_STATE, the client inside.
    const Window frame = client(std::nullopt, std::nullopt);
    child_of(frame, "framed", NORMAL);
    // A withdrawn window is searched too.
    const Window withdrawn = client("withdrawn", 0);
    child_of(withdrawn, "below withdrawn", NORMAL);
    // A client's own subwindows are not clients.
    const Window outer = client("outer", NORMAL);
    child_of(outer, "inner", NORMAL);
    start_switcher();
    EXPECT_TRUE(popup_sized(85, 41));
    EXPECT_TRUE(popup_shows({"framed", "below withdrawn", "outer"}));
}

TEST_F(SwitcherTest, under_a_window_manager_every_exposure_runs_a_whole_listing_pass)
{
    client("one");
    client("two");
    MarkingWm manager;
    start_switcher(300, 200, &manager);
    // Marked NormalState by the manager, the pop-up still leaves itself out.
    ASSERT_TRUE(popup_sized(60, 29, &manager));
    // Mapped first, then moved to the pointer.
    const auto& asked = manager.requests;
    const auto map = std::find_if(asked.begin(), asked.end(),
                                  [](const XEvent& e) { return e.type == MapRequest; });
    const auto move = std::find_if(map, asked.end(), [](const XEvent& e) {
        return e.type == ConfigureRequest && (e.xconfigurerequest.value_mask & CWX);
    });
    ASSERT_NE(move, asked.end()) << "no move after the map";
    EXPECT_EQ(move->xconfigurerequest.x, 300);
    EXPECT_EQ(move->xconfigurerequest.y, 200);

    // Each pass ends in a resize request, which the manager sees even when
    // the size stays. In a burst the count says more are coming; each
    // exposure still gets its pass.
    const std::size_t passes = manager.sizes_asked().size();
    for (int count = 3; count >= 0; --count)
        send_expose(dpy, popup, count);
    EXPECT_TRUE(wait_until([&] {
        manager.pump();
        return manager.sizes_asked().size() >= passes + 4;
    }));
    for (const auto& size : manager.sizes_asked())
        EXPECT_EQ(size, std::make_pair(60, 29));
}

TEST_F(SwitcherTest, the_list_is_drawn_again_when_the_pop_up_is_uncovered_and_follows_changes)
{
    client("first");
    const Window second = client("second");
    start_switcher(200, 150);
    ASSERT_TRUE(popup_shows({"first", "second"}));

    // Covering the pop-up and taking the cover away exposes it.
    const Window cover = XCreateSimpleWindow(dpy, root, 150, 100, 300, 300, 0, 0, 0);
    XSetWindowAttributes unmanaged{};
    unmanaged.override_redirect = True;
    XChangeWindowAttributes(dpy, cover, CWOverrideRedirect, &unmanaged);
    XMapRaised(dpy, cover);
    sync(dpy);
    wm->destroy(second);
    XUnmapWindow(dpy, cover);
    sync(dpy);
    EXPECT_TRUE(popup_sized(60, 17));
    EXPECT_TRUE(popup_shows({"first"}));
}

TEST_F(SwitcherTest, beyond_199_clients_the_rest_are_left_out)
{
    for (int i = 0; i < 199; ++i)
        client("c" + std::to_string(i), NORMAL, 10, 10);
    // Too many to list: neither counted in the height nor in the width.
    for (int i = 0; i < 20; ++i)
        client("a client beyond the table, with a longer name", NORMAL, 10, 10);
    start_switcher(700, 0);
    EXPECT_TRUE(popup_sized(60, 12 * 199 + 5));
}

TEST_F(SwitcherTest, windows_that_ask_to_stay_out_of_window_lists_are_left_out)
{
    struct Case {
        const char* name;
        std::optional<long> win_hints;
        const char* property;  // an EWMH list holding `value`
        const char* value;
    };
    const Case cases[] = {
        {"skip list bit", 2, nullptr, nullptr},
        {"hints say list", 4, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"},  // listed
        {"skip taskbar", std::nullopt, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"},
        {"dock", std::nullopt, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK"},
        {"desktop", std::nullopt, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DESKTOP"},
        {"normal type", std::nullopt, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL"},  // listed
    };
    for (const Case& c : cases) {
        const Window window = client(c.name);
        wm->set_win_hints(window, c.win_hints);
        if (c.property)
            wm->set_property(window, c.property, "ATOM", 32, {static_cast<long>(atom(dpy, c.value))});
    }
    start_switcher();
    EXPECT_TRUE(popup_sized(80, 29));
    EXPECT_TRUE(popup_shows({"hints say list", "normal type"}));
}
