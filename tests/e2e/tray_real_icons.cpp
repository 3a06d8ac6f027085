// The tray under Openbox with real status icons (yad --notification, a
// GTK 3 status icon) and a real tray that runs first (trayer).
#include "kit_test.hpp"

#include <X11/Xutil.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

using namespace kit_test;
namespace fs = std::filesystem;

namespace {

constexpr auto SLOW = 30s;
constexpr unsigned long RED = 0xff0000;

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
        if (HasFatalFailure())
            return;
        home_.write_file("icon.xpm", ICON_XPM);
        ProgramOptions o = options();
        const fs::path config = fs::path(__FILE__).parent_path() / ".." / ".." / "scripts" / "lib" / "openbox";
        o.args = {"--sm-disable", "--config-file", (config / "rc.xml").string()};
        programs_.push_back(std::make_unique<Program>("/usr/bin/openbox", o));
        // Up once it publishes its desktops, the last thing it does at start.
        ASSERT_TRUE(wait_until([&] { return property32(dpy, root, "_NET_CURRENT_DESKTOP").has_value(); }, SLOW));
        move_pointer(dpy, screen_width / 2, screen_height - 1);  // keeps the bar expanded
    }

    void TearDown() override
    {
        panel_.reset();
        programs_.clear();  // the window manager last
        XServerTest::TearDown();
    }

    ProgramOptions options() const
    {
        const std::string home = home_.path();
        return {.env = {{"HOME", home},
                        {"XDG_CONFIG_HOME", home + "/.config"},
                        {"XDG_CACHE_HOME", home + "/.cache"},
                        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home + "/no-bus"},
                        {"NO_AT_BRIDGE", "1"}}};
    }

    Program& start(const std::string& path, std::vector<std::string> args = {})
    {
        ProgramOptions o = options();
        o.args = std::move(args);
        return *programs_.emplace_back(std::make_unique<Program>(path, o));
    }
    Program& start_icon() { return start("/usr/bin/yad", {"--notification", "--image=" + home_.file("icon.xpm")}); }

    void start_panel()
    {
        panel_ = std::make_unique<Program>(program_path("panel"), options());
        ASSERT_TRUE(wait_until([&] {
            const auto found = find_panel_window(dpy);
            bar_ = found.value_or(None);
            return found && geometry(dpy, bar_)->viewable();
        }, SLOW)) << panel_->stderr_text();
    }

    // Viewable windows with _XEMBED_INFO anywhere under `window`, in stacking order.
    std::vector<Window> icons_under(Window window)
    {
        std::vector<Window> found;
        std::function<void(Window)> search = [&](Window w) {
            Window root_return, parent, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(dpy, w, &root_return, &parent, &children, &count))
                return;
            for (unsigned i = 0; i < count; ++i) {
                const auto g = geometry(dpy, children[i]);
                if (g && g->viewable() && property32(dpy, children[i], "_XEMBED_INFO"))
                    found.push_back(children[i]);
                search(children[i]);
            }
            if (children)
                XFree(children);
        };
        search(window);
        return found;
    }
    // The bar holds exactly these icons in slots 0, 1, ...
    bool bar_icons_are(const std::vector<Window>& icons, int bar_y)
    {
        if (icons_under(bar_).size() != icons.size())
            return false;
        for (std::size_t i = 0; i < icons.size(); ++i) {
            const auto g = geometry(dpy, icons[i]);
            if (!g || !g->viewable() || g->x != screen_width - 61 - 20 * static_cast<int>(i) ||
                g->y != bar_y + 4 || g->width != 16 || g->height != 16)
                return false;
        }
        return true;
    }
    // Waits until `count` icons are in the bar; returns them newest first.
    std::vector<Window> wait_for_bar_icons(std::size_t count)
    {
        std::vector<Window> icons;
        EXPECT_TRUE(wait_until([&] { return (icons = icons_under(bar_)).size() == count; }, SLOW));
        return icons;
    }

    TempDir home_;
    std::vector<std::unique_ptr<Program>> programs_;
    std::unique_ptr<Program> panel_;
    Window bar_ = None;
};

}  // namespace

TEST_F(RealTray, yad_icons_dock_show_the_face_through_follow_the_bar_and_outlive_it)
{
    start_panel();
    Program& first = start_icon();
    const Window one = wait_for_bar_icons(1).at(0);
    start_icon();
    const std::vector<Window> both = wait_for_bar_icons(2);
    const Window two = both[0] == one ? both[1] : both[0];
    ASSERT_TRUE(wait_until([&] { return bar_icons_are({one, two}, screen_height - 24); }));
    const unsigned long face = panel_pixel(dpy, PanelColor::Face);
    EXPECT_TRUE(wait_until([&] { return pixel(dpy, two, 0, 0) == face && pixel(dpy, two, 8, 8) == RED; }));
    EXPECT_EQ(pixel(dpy, bar_, screen_width - 83, 12), panel_pixel(dpy, PanelColor::Shadow));  // the groove

    first.stop();
    EXPECT_TRUE(wait_until([&] { return bar_icons_are({two}, screen_height - 24); }, SLOW));
    move_pointer(dpy, screen_width / 2, screen_height / 2);  // the bar hides
    EXPECT_TRUE(wait_until([&] { return geometry(dpy, bar_)->height == 2 && icons_under(bar_).empty(); }));
    move_pointer(dpy, screen_width - 1, screen_height - 1);
    ASSERT_TRUE(wait_until([&] { return bar_icons_are({two}, screen_height - 24); }));
    click_at(dpy, screen_width - 1, screen_height - 12);  // the last column: to the top edge
    move_pointer(dpy, screen_width - 1, 0);
    EXPECT_TRUE(wait_until([&] { return bar_icons_are({two}, 0); }));

    panel_->stop();
    ASSERT_TRUE(programs_.back()->running());
    start_panel();
    EXPECT_EQ(wait_for_bar_icons(1).size(), 1u);
}

TEST_F(RealTray, a_tray_running_first_keeps_the_bar_as_it_was_and_one_coming_later_takes_the_icons)
{
    Program& trayer = start("/usr/bin/trayer");
    ASSERT_TRUE(wait_until([&] { return tray_owner(dpy) != None; }, SLOW));
    start_panel();
    const auto before = capture(dpy, bar_, 0, 0, screen_width - 44, 24);
    start_icon();
    ASSERT_TRUE(wait_until([&] { return icons_under(root).size() == 1; }, SLOW));
    EXPECT_TRUE(icons_under(bar_).empty());
    const auto after = capture(dpy, bar_, 0, 0, screen_width - 44, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < screen_width - 44; ++x)
            ASSERT_EQ(before->at(x, y), after->at(x, y)) << x << "," << y;

    trayer.stop();  // the bar takes the selection, and the icon comes
    wait_for_bar_icons(1);
    OtherTray other;
    other.take();
    EXPECT_TRUE(wait_until([&] { return icons_under(bar_).empty() && other.embed_requests().size() == 1; }, SLOW)) << icons_under(bar_).size() << " " << other.embed_requests().size() << " " << tray_owner(dpy) << " " << other.window();
}
