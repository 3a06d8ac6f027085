// The running bar on servers whose screens really change: a resizeable
// nested Xephyr resized with xrandr, and a nested Xephyr with two heads of
// different heights under Openbox.
#include "kit_test.hpp"

#include <X11/Xatom.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

using namespace kit_test;

// A running bar of `program` with "calendar" and "xcalendar" on PATH, each
// writing its name to a file.
class NestedBar : public XServerTest {
protected:
    void TearDown() override
    {
        panel.reset();
        if (window_manager)
            window_manager->stop(5s);
        window_manager.reset();
        XServerTest::TearDown();
    }

    void start(const char* program)
    {
        for (const char* name : {"calendar", "xcalendar"})
            commands.write_script(name, std::string("echo ") + name + " >> " + commands.file("log"));
        panel = std::make_unique<Program>(program_path(program),
                                          ProgramOptions{.path_prepend = commands.path()});
        const auto window = wait_for_panel_window(dpy);
        ASSERT_TRUE(window) << "no bar appeared";
        bar = *window;
    }

    // The bar at this place, painted: the clock's box 20 columns from its end.
    bool shown_at(int x, int y, int width)
    {
        const auto g = geometry(dpy, bar);
        return g && g->viewable() && g->x == x && g->y == y && g->width == width &&
               g->height == 24 &&
               pixel(dpy, bar, width - 20, 3) == panel_pixel(dpy, PanelColor::FacePressed);
    }

    std::vector<long> strut(const char* name)
    {
        const auto p = property32(dpy, bar, name);
        return p ? p->items : std::vector<long>{};
    }

    void xrandr(const std::string& size)
    {
        ASSERT_EQ(std::system(("xrandr -s " + size + " 2>/dev/null").c_str()), 0) << size;
    }

    TempDir commands;
    std::unique_ptr<Program> panel;
    std::unique_ptr<Program> window_manager;
    Window bar = None;
};

class ResizedScreen : public NestedBar {
protected:
    ServerOptions server_options() const override
    {
        return {.width = 1600, .height = 1200, .nested_xephyr = {"-resizeable", "-screen", "800x600"}};
    }

    // A status icon docked into the bar's tray.
    Window docked_icon()
    {
        const Window icon = XCreateSimpleWindow(dpy, root, 0, 0, 30, 30, 0, 0, 0xff0000);
        long info[2] = {0, 1};
        const Atom xembed_info = atom(dpy, "_XEMBED_INFO");
        XChangeProperty(dpy, icon, xembed_info, xembed_info, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(info), 2);
        sync(dpy);
        send_tray_opcode(dpy, 0, static_cast<long>(icon));
        return icon;
    }
    // The icon in the first slot, 61 columns from the bar's end.
    bool icon_in_first_slot(Window icon, int bar_width)
    {
        const auto g = geometry(dpy, icon);
        return g && g->viewable() && g->x == bar_width - 61;
    }
};

TEST_F(ResizedScreen, the_bar_follows_the_screen_to_a_new_size_and_back)
{
    start("panel-lite");
    ASSERT_TRUE(wait_until([&] { return shown_at(0, 576, 800); }));
    const Window icon = docked_icon();
    ASSERT_TRUE(wait_until([&] { return icon_in_first_slot(icon, 800); }));

    struct Step {
        const char* size;
        int width, y;
    };
    for (const Step step : {Step{"1024x768", 1024, 744}, Step{"800x600", 800, 576}}) {
        xrandr(step.size);
        ASSERT_TRUE(wait_until([&] { return shown_at(0, step.y, step.width); })) << step.size;
        EXPECT_TRUE(wait_until([&] { return icon_in_first_slot(icon, step.width); })) << step.size;
        EXPECT_EQ(strut("_NET_WM_STRUT_PARTIAL"),
                  (std::vector<long>{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, step.width - 1}));
        EXPECT_EQ(strut("_NET_WM_STRUT"), (std::vector<long>{0, 0, 0, 2}));

        // The clock's press region moved with it.
        std::filesystem::remove(commands.file("log"));
        click_at(dpy, step.width - 20, step.y + 12);
        EXPECT_TRUE(wait_until([&] { return commands.read_file("log") == "xcalendar\n"; }))
            << step.size;
    }
}

TEST_F(ResizedScreen, a_burst_of_size_changes_places_the_bar_once)
{
    start("panel-lite");
    ASSERT_TRUE(wait_until([&] { return shown_at(0, 576, 800); }));
    XSelectInput(dpy, bar, StructureNotifyMask);
    sync(dpy);

    ASSERT_EQ(std::system("xrandr -s 1024x768 && xrandr -s 1280x960 && xrandr -s 1024x768"), 0);
    ASSERT_TRUE(wait_until([&] { return shown_at(0, 744, 1024); }));
    // A press handled after the burst: every notice of it has been seen.
    click_at(dpy, 1004, 756);
    ASSERT_TRUE(wait_until([&] { return commands.read_file("log") == "xcalendar\n"; }));

    int configures = 0;
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == bar) {
            ++configures;
            EXPECT_EQ(event.xconfigure.width, 1024) << "placed for a passing size";
        }
    }
    EXPECT_GE(configures, 1);
    EXPECT_LE(configures, 2);  // one resize and one move
}

class TwoHeads : public NestedBar {
protected:
    ServerOptions server_options() const override
    {
        return {.width = 1600, .height = 1200,
                .nested_xephyr = {"+xinerama", "-screen", "640x480", "-screen", "800x600"}};
    }
    void SetUp() override
    {
        NestedBar::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(screen_width, 1440);
        home = std::make_unique<TempDir>();
        const std::string config = (std::filesystem::path(__FILE__).parent_path() / ".." / ".." /
                                    "scripts" / "lib" / "openbox" / "rc.xml").string();
        const std::string h = home->path();
        window_manager = std::make_unique<Program>(
            "/usr/bin/openbox",
            ProgramOptions{.env = {{"HOME", h}, {"XDG_CONFIG_HOME", h + "/.config"},
                                   {"XDG_CACHE_HOME", h + "/.cache"},
                                   {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + h + "/no-bus"}},
                           .args = {"--sm-disable", "--config-file", config}});
        ASSERT_TRUE(wait_until([&] { return property32(dpy, root, "_NET_SUPPORTING_WM_CHECK").has_value(); },
                               20s));
    }
    // The client's frame: its ancestor that is a child of the root.
    Window frame_of(Window window)
    {
        for (;;) {
            Window root_return = None, parent = None, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(dpy, window, &root_return, &parent, &children, &count))
                return None;
            if (children)
                XFree(children);
            if (parent == root || parent == None)
                return window;
            window = parent;
        }
    }
    std::unique_ptr<TempDir> home;
};

TEST_F(TwoHeads, the_bar_lies_on_the_first_head_and_a_maximised_window_there_stops_above_it)
{
    move_pointer(dpy, 100, 479);  // at the first head's bottom: the poll keeps the bar
    start("panel");
    ASSERT_TRUE(wait_until([&] { return shown_at(0, 456, 640); }, 10s));
    EXPECT_EQ(strut("_NET_WM_STRUT_PARTIAL"),
              (std::vector<long>{0, 0, 0, 122, 0, 0, 0, 0, 0, 0, 0, 639}));
    EXPECT_TRUE(strut("_NET_WM_STRUT").empty());  // the head does not reach the screen's bottom

    // Maximised from the start, on the first head.
    const Window client = XCreateSimpleWindow(dpy, root, 50, 50, 200, 150, 0, 0, 0);
    Atom states[2] = {atom(dpy, "_NET_WM_STATE_MAXIMIZED_VERT"), atom(dpy, "_NET_WM_STATE_MAXIMIZED_HORZ")};
    XChangeProperty(dpy, client, atom(dpy, "_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(states), 2);
    XMapWindow(dpy, client);
    sync(dpy);
    // Measured only once Openbox has framed and placed it.
    ASSERT_TRUE(wait_until([&] {
        const auto frame = geometry(dpy, frame_of(client));
        return property32(dpy, client, "WM_STATE") && frame_of(client) != client && frame &&
               frame->viewable() && frame->width + 2 * frame->border_width == 640;
    }, 10s));
    const Geometry frame = geometry(dpy, frame_of(client)).value();
    EXPECT_EQ(frame.x, 0);
    EXPECT_EQ(frame.y + frame.height + 2 * frame.border_width, 478);  // above the hidden bar's two rows

    // The poll's edge is the head's: away from it the bar hides, at its
    // bottom rows it shows again.
    move_pointer(dpy, 100, 300);
    ASSERT_TRUE(wait_until([&] { return geometry(dpy, bar)->height == 2; }, 5s));
    EXPECT_EQ(geometry(dpy, bar)->y, 478);
    move_pointer(dpy, 100, 478);
    EXPECT_TRUE(wait_until([&] { return shown_at(0, 456, 640); }, 5s));
}

}  // namespace

namespace {

// A screen narrower than the Start area, desktop strip and clock together,
// and lower than the bar.
class TinyScreen : public NestedBar {
protected:
    ServerOptions server_options() const override { return {.width = 40, .height = 20}; }
};

TEST_F(TinyScreen, the_bar_stays_on_the_screen_and_takes_presses_without_harm)
{
    start("panel-lite");
    ASSERT_TRUE(wait_until([&] {
        const auto g = geometry(dpy, bar);
        return g && g->x == 0 && g->y == 0 && g->width == 40 && g->height == 24;
    }));
    for (int x : {0, 5, 20, 38, 39})
        click_at(dpy, x, 10);
    sync(dpy);
    EXPECT_TRUE(panel->running());
    EXPECT_TRUE(geometry(dpy, bar).has_value());
}

}  // namespace
