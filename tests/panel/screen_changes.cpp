// The running bar on servers whose screens really change: a resizeable
// nested Xephyr resized with xrandr, two heads of different heights under
// Openbox, and a screen smaller than the bar's fixed parts.
#include "kit_test.hpp"

#include <X11/Xatom.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace kit_test;
namespace fs = std::filesystem;

class ScreenBar : public XServerTest {
protected:
    ServerOptions server_options() const override
    {
        return {.width = 1600, .height = 1200, .nested_xephyr = {"-resizeable", "-screen", "800x600"}};
    }
    void TearDown() override
    {
        panel.reset();
        wm.reset();
        XServerTest::TearDown();
    }
    // Runs `program` with "xcalendar" on PATH, which logs its name.
    void start(const char* program)
    {
        commands.write_script("xcalendar", "echo xcalendar >> " + commands.file("log"));
        panel.emplace(program_path(program), ProgramOptions{.path_prepend = commands.path()});
        bar = wait_for_panel_window(dpy).value_or(None);
        ASSERT_NE(bar, None);
    }
    // There and painted: the clock's box 20 columns from the bar's end.
    bool shown_at(int y, int width, int x = 0)
    {
        const auto g = geometry(dpy, bar);
        return g && g->x == x && g->y == y && g->width == width && g->height == 24 &&
               pixel(dpy, bar, width - 20, 3) == panel_pixel(dpy, PanelColor::FacePressed);
    }
    std::vector<long> strut(const char* name) { return property32(dpy, bar, name).value_or(Property32{}).items; }
    bool clock_runs_at(int x, int y)
    {
        fs::remove(commands.file("log"));
        click_at(dpy, x, y);
        return wait_until([&] { return commands.read_file("log") == "xcalendar\n"; });
    }

    TempDir commands;
    std::optional<Program> panel, wm;
    Window bar = None;
};

TEST_F(ScreenBar, the_bar_follows_the_screen_to_a_new_size_and_back_placing_itself_once_per_burst)
{
    start("panel-lite");
    ASSERT_TRUE(wait_until([&] { return shown_at(576, 800); }));
    const Window icon = XCreateSimpleWindow(dpy, root, 0, 0, 30, 30, 0, 0, 0);
    long info[2] = {0, 1};
    XChangeProperty(dpy, icon, atom(dpy, "_XEMBED_INFO"), atom(dpy, "_XEMBED_INFO"), 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(info), 2);
    sync(dpy);
    send_tray_opcode(dpy, 0, static_cast<long>(icon));
    XSelectInput(dpy, bar, StructureNotifyMask);

    for (const auto& [sizes, width, y] : {std::tuple{"1280x960 && xrandr -s 1024x768", 1024, 744},
                                          std::tuple{"800x600", 800, 576}}) {
        ASSERT_EQ(std::system((std::string("xrandr -s ") + sizes).c_str()), 0);
        ASSERT_TRUE(wait_until([&] { return shown_at(y, width); })) << sizes;
        EXPECT_TRUE(wait_until([&] { return geometry(dpy, icon).value_or(Geometry{}).x == width - 61; }));  // its tray slot
        EXPECT_EQ(strut("_NET_WM_STRUT_PARTIAL"), (std::vector<long>{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, width - 1}));
        EXPECT_EQ(strut("_NET_WM_STRUT"), (std::vector<long>{0, 0, 0, 2}));
        // Handled after every notice of the change: the bar's moves are all in.
        EXPECT_TRUE(clock_runs_at(width - 20, y + 12));
        int configures = 0;
        for (XEvent event; XCheckTypedWindowEvent(dpy, bar, ConfigureNotify, &event); ++configures)
            EXPECT_EQ(event.xconfigure.width, width) << "placed for a passing size";
        EXPECT_LE(configures, 2) << sizes;  // one resize, one move
    }
}

struct TwoHeads : ScreenBar {
    ServerOptions server_options() const override
    {
        return {.width = 1600, .height = 1200, .nested_xephyr = {"+xinerama", "-screen", "640x480", "-screen", "800x600"}};
    }
};

TEST_F(TwoHeads, the_bar_lies_on_the_first_and_a_maximised_window_there_stops_above_it)
{
    ASSERT_EQ(screen_width, 1440);
    const std::string home = commands.path();
    wm.emplace("/usr/bin/openbox",
               ProgramOptions{.env = {{"HOME", home}, {"XDG_CONFIG_HOME", home}, {"XDG_CACHE_HOME", home},
                                      {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home + "/no-bus"}},
                              .args = {"--sm-disable", "--config-file",
                                       fs::path(__FILE__).parent_path() / "../../scripts/lib/openbox/rc.xml"}});
    // Openbox publishes its check window early; its desktops come once it is ready to manage.
    ASSERT_TRUE(wait_until([&] { return property32(dpy, root, "_NET_SUPPORTING_WM_CHECK") &&
                                        property32(dpy, root, "_NET_CURRENT_DESKTOP"); }, 20s));
    move_pointer(dpy, 100, 479);  // at the head's bottom the poll keeps the bar
    start("panel");
    ASSERT_TRUE(wait_until([&] { return shown_at(456, 640); }));
    EXPECT_EQ(strut("_NET_WM_STRUT_PARTIAL"), (std::vector<long>{0, 0, 0, 122, 0, 0, 0, 0, 0, 0, 0, 639}));
    EXPECT_TRUE(strut("_NET_WM_STRUT").empty());  // the head ends above the screen's bottom

    const Window client = XCreateSimpleWindow(dpy, root, 50, 50, 200, 150, 0, 0, 0);
    Atom maximised[2] = {atom(dpy, "_NET_WM_STATE_MAXIMIZED_VERT"), atom(dpy, "_NET_WM_STATE_MAXIMIZED_HORZ")};
    XChangeProperty(dpy, client, atom(dpy, "_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(maximised), 2);
    XMapWindow(dpy, client);
    // Measured only once Openbox has managed it and sized its frame (the
    // top-level window above it) to the head.
    const auto frame = [&] {
        Window window = client, parent = None, root_return, *children = nullptr;
        unsigned count = 0;
        for (; XQueryTree(dpy, window, &root_return, &parent, &children, &count); window = parent) {
            if (children)
                XFree(children);
            if (parent == root)
                break;
        }
        return geometry(dpy, window).value_or(Geometry{});
    };
    ASSERT_TRUE(wait_until([&] {
        return property32(dpy, client, "WM_STATE") && frame().width + 2 * frame().border_width == 640;
    }, 10s));
    EXPECT_EQ(frame().y + frame().height + 2 * frame().border_width, 478);  // above the hidden bar's two rows

    move_pointer(dpy, 100, 300);  // away: the poll hides the bar on its head
    EXPECT_TRUE(wait_until([&] { return geometry(dpy, bar)->y == 478; }));
    move_pointer(dpy, 100, 478);  // the head's bottom rows show it
    EXPECT_TRUE(wait_until([&] { return shown_at(456, 640); }));
}

struct TinyScreen : ScreenBar {
    ServerOptions server_options() const override { return {.width = 40, .height = 20}; }
};

TEST_F(TinyScreen, smaller_than_the_bars_fixed_parts_the_bar_stays_on_it_and_takes_presses)
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
}

}  // namespace
