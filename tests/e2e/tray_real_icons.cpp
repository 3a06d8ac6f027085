// The tray under Openbox with real status icons (yad --notification, a
// GTK 3 status icon) and a real tray that runs first (trayer).
#include "kit_test.hpp"

#include <filesystem>
#include <memory>
#include <vector>

using namespace kit_test;

namespace {

constexpr auto SLOW = 30s;

// A red square with a transparent frame four pixels wide.
constexpr const char* ICON_XPM = R"(/* XPM */
static char *icon[] = {"16 16 2 1", "  c None", "x c #FF0000",
"                ", "                ", "                ", "                ",
"    xxxxxxxx    ", "    xxxxxxxx    ", "    xxxxxxxx    ", "    xxxxxxxx    ",
"    xxxxxxxx    ", "    xxxxxxxx    ", "    xxxxxxxx    ", "    xxxxxxxx    ",
"                ", "                ", "                ", "                "};
)";

class RealTray : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        home_.write_file("icon.xpm", ICON_XPM);
        const auto config = std::filesystem::path(__FILE__).parent_path() / "../../scripts/lib/openbox/rc.xml";
        start("/usr/bin/openbox", {"--sm-disable", "--config-file", config.string()});
        // Up once it publishes its desktops, the last thing it does at start.
        ASSERT_TRUE(wait_until([&] { return property32(dpy, root, "_NET_CURRENT_DESKTOP").has_value(); }, SLOW));
        move_pointer(dpy, screen_width / 2, screen_height - 1);  // keeps the bar expanded
    }
    void TearDown() override
    {
        while (!programs_.empty())  // the window manager last
            programs_.pop_back();
        XServerTest::TearDown();
    }

    Program& start(const std::string& path, std::vector<std::string> args = {})
    {
        const std::string home = home_.path();
        ProgramOptions o{.env = {{"HOME", home}, {"XDG_CONFIG_HOME", home}, {"XDG_CACHE_HOME", home},
                                 {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home + "/no-bus"}, {"NO_AT_BRIDGE", "1"}},
                         .args = std::move(args)};
        return *programs_.emplace_back(std::make_unique<Program>(path, o));
    }
    Program& start_icon() { return start("/usr/bin/yad", {"--notification", "--image=" + home_.file("icon.xpm")}); }
    Program& start_panel()
    {
        Program& panel = start(program_path("panel"));
        EXPECT_TRUE(wait_until([&] { return (bar_ = find_panel_window(dpy).value_or(None)) != None; }, SLOW));
        return panel;
    }

    // Viewable windows with _XEMBED_INFO under `window`, at any depth.
    int icons_under(Window window)
    {
        Window root_return, parent, *children = nullptr;
        unsigned count = 0;
        int found = 0;
        if (XQueryTree(dpy, window, &root_return, &parent, &children, &count))
            for (unsigned i = 0; i < count; ++i)
                found += (geometry(dpy, children[i]).value_or(Geometry{}).viewable() &&
                          property32(dpy, children[i], "_XEMBED_INFO")) + icons_under(children[i]);
        if (children)
            XFree(children);
        return found;
    }
    // The bar's icons, slot 0 first, when exactly `count` are shown, each 16 by 16 in its slot.
    std::vector<Window> slotted(std::size_t count, int bar_y)
    {
        std::vector<Window> icons(count, None);
        Window root_return, parent, *children = nullptr;
        unsigned n = 0;
        XQueryTree(dpy, bar_, &root_return, &parent, &children, &n);
        for (unsigned i = 0; i < n; ++i) {
            const Geometry g = geometry(dpy, children[i]).value_or(Geometry{});
            const std::size_t slot = (screen_width - 61 - g.x) / 20;
            if (g.viewable() && g.y == bar_y + 4 && g.width == 16 && g.height == 16 && slot < count)
                icons[slot] = children[i];
        }
        if (children)
            XFree(children);
        const bool all = icons_under(bar_) == static_cast<int>(count) &&
                         std::find(icons.begin(), icons.end(), Window(None)) == icons.end();
        return all ? icons : std::vector<Window>{};
    }

    TempDir home_;
    std::vector<std::unique_ptr<Program>> programs_;
    Window bar_ = None;
};

}  // namespace

TEST_F(RealTray, yad_icons_dock_show_the_face_through_follow_the_bar_and_outlive_it)
{
    Program& panel = start_panel();
    Program& first = start_icon();
    ASSERT_TRUE(wait_until([&] { return !slotted(1, screen_height - 24).empty(); }, SLOW));
    start_icon();
    std::vector<Window> icons;
    ASSERT_TRUE(wait_until([&] { return !(icons = slotted(2, screen_height - 24)).empty(); }, SLOW));
    EXPECT_TRUE(wait_until([&] {
        return pixel(dpy, icons[1], 1, 1) == panel_pixel(dpy, PanelColor::Face) && pixel(dpy, icons[1], 8, 8) == 0xff0000;
    }));

    first.stop();  // the second closes the gap
    EXPECT_TRUE(wait_until([&] { return slotted(1, screen_height - 24) == std::vector{icons[1]}; }, SLOW));
    move_pointer(dpy, screen_width / 2, screen_height / 2);  // the bar hides, and its icons
    EXPECT_TRUE(wait_until([&] { return geometry(dpy, bar_)->height == 2 && icons_under(bar_) == 0; }));
    move_pointer(dpy, screen_width - 1, screen_height - 1);
    ASSERT_TRUE(wait_until([&] { return !slotted(1, screen_height - 24).empty(); }));
    click_at(dpy, screen_width - 1, screen_height - 12);  // to the top edge
    move_pointer(dpy, screen_width - 1, 0);
    EXPECT_TRUE(wait_until([&] { return !slotted(1, 0).empty(); }));

    panel.stop();
    start_panel();  // collects the icon that outlived the last one
    EXPECT_TRUE(wait_until([&] { return !slotted(1, screen_height - 24).empty(); }, SLOW));
}

TEST_F(RealTray, a_tray_running_first_keeps_the_bar_as_it_was_and_one_coming_later_takes_the_icons)
{
    Program& trayer = start("/usr/bin/trayer");
    ASSERT_TRUE(wait_until([&] { return tray_owner(dpy) != None; }, SLOW));
    start_panel();
    const auto before = capture(dpy, bar_, 0, 0, screen_width - 44, 24);  // the clock may change
    start_icon();
    ASSERT_TRUE(wait_until([&] { return icons_under(root) == 1; }, SLOW));  // in trayer
    const auto after = capture(dpy, bar_, 0, 0, screen_width - 44, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < screen_width - 44; ++x)
            ASSERT_EQ(before->at(x, y), after->at(x, y)) << x << "," << y;

    trayer.stop();  // the bar takes the selection, and the icon comes
    ASSERT_TRUE(wait_until([&] { return !slotted(1, screen_height - 24).empty(); }, SLOW));
    const Window later = XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0);
    take_tray_selection(dpy, later);
    XEvent dock{};
    EXPECT_TRUE(wait_until([&] { return XCheckTypedWindowEvent(dpy, later, ClientMessage, &dock); }, SLOW));
    EXPECT_EQ(icons_under(bar_), 0);
}
