// A built panel running against a private server, with a scripted window
// manager that publishes the desktops and the clients, and the commands
// "Start", "calendar" and "xcalendar" on PATH, each of which appends its
// name to a file. Shared by the tests that drive the bar as a person would.
#pragma once

#include "kit_test.hpp"

#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace running_panel {

using namespace kit_test;
using namespace std::chrono_literals;

constexpr int BAR_HEIGHT = 24;
constexpr int STRIP_HEIGHT = 2;

// Distinct icon colours, so a button can be recognised by its pixels.
constexpr unsigned long RED = 0xff0000;
constexpr unsigned long GREEN = 0x00ff00;
constexpr unsigned long BLUE = 0x0000ff;
constexpr unsigned long MAGENTA = 0xff00ff;

struct Slot {
    int left;
    int width;
};

class RunningPanel : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(has_xtest(dpy));
        wm = std::make_unique<ScriptedWm>();
        for (const char* name : {"Start", "calendar", "xcalendar"})
            commands.write_script(name, std::string("echo ") + name + " >> " + log_path());
    }

    void TearDown() override
    {
        if (panel)
            panel->stop();
        panel.reset();
        wm.reset();
        XServerTest::TearDown();
    }

    std::string log_path() const { return commands.file("launched"); }

    // Starts `program` with `desktops` desktops published (0: no count) and
    // waits until its bar is up and painted, or (polling bar, pointer away,
    // slow start) already collapsed.
    void start(const std::string& program, int desktops = 4, ProgramOptions options = {})
    {
        if (desktops > 0)
            wm->set_win_workspace_count(desktops);
        wm->set_win_workspace(0);
        options.path_prepend = commands.path();
        panel = std::make_unique<Program>(program_path(program), options);
        const auto window = wait_for_panel_window(dpy);
        ASSERT_TRUE(window) << "no bar appeared";
        bar = *window;
        ASSERT_TRUE(wait_until([&] { return clock_painted() || bar_geometry().height == STRIP_HEIGHT; }))
            << "the bar was never painted";
    }

    // Parks the pointer; on the bar's bottom row it keeps a polling bar expanded.
    void park_pointer(int x, int y) { move_pointer(dpy, x, y); }
    void park_pointer_on_bar() { park_pointer(screen_width / 2, screen_height - 1); }

    // ---- The bar's placement ----

    Geometry bar_geometry() { return geometry(dpy, bar).value_or(Geometry{}); }
    bool placed(int y, int height)
    {
        const Geometry g = bar_geometry();
        return g.x == 0 && g.width == screen_width && g.y == y && g.height == height;
    }
    bool expanded_bottom() { return placed(screen_height - BAR_HEIGHT, BAR_HEIGHT); }
    bool collapsed_bottom() { return placed(screen_height - STRIP_HEIGHT, STRIP_HEIGHT); }
    bool expanded_top() { return placed(0, BAR_HEIGHT); }
    bool collapsed_top() { return placed(0, STRIP_HEIGHT); }

    // ---- Input at bar coordinates (the bar's own x and y) ----

    void click_bar(int x, int y)
    {
        const Geometry g = bar_geometry();
        click_at(dpy, x, g.y + y);
    }
    void move_over_bar(int x, int y) { move_pointer(dpy, x, bar_geometry().y + y); }

    // ---- Reading the bar ----

    std::optional<unsigned long> bar_pixel(int x, int y) { return pixel(dpy, bar, x, y); }
    bool clock_painted()
    {
        return bar_pixel(screen_width - 20, 3) == panel_pixel(dpy, PanelColor::FacePressed);
    }

    // The place of client button `index` of `count` with `pager` pixels of
    // desktop buttons, as the layout of a full repaint gives it.
    Slot slot(int index, int count, int pager = 96) const
    {
        const int step = std::min((screen_width - pager - 91) / count, 145);
        return {pager + 52 + index * step, step - 1};
    }
    // The pressed look fills the button's face with face_pressed; the
    // column checked is right of any short title.
    bool looks_pressed(Slot s)
    {
        return bar_pixel(s.left + s.width - 3, 12) == panel_pixel(dpy, PanelColor::FacePressed);
    }
    bool looks_raised(Slot s)
    {
        return bar_pixel(s.left + s.width - 3, 12) == panel_pixel(dpy, PanelColor::Face);
    }
    // Whether the slot shows the solid icon of that colour.
    bool shows_icon(Slot s, unsigned long colour) { return bar_pixel(s.left + 10, 12) == colour; }

    // ---- Clients ----

    // A mapped client with a short STRING title and a solid 16x16 icon.
    Window add_client(unsigned long icon_colour, const std::string& title = "xy")
    {
        const Pixmap icon = wm->create_solid_pixmap(16, 16, DefaultDepth(dpy, screen), icon_colour);
        ClientSpec spec;
        spec.name = string_text(title);
        spec.kwm_win_icon = std::make_pair(icon, Pixmap(None));
        spec.wm_state = 1;
        return wm->create_client(spec);
    }

    // Publishes three clients in order and waits until the bar shows them.
    std::vector<Window> show_three_clients()
    {
        const std::vector<Window> clients = {add_client(RED), add_client(GREEN), add_client(BLUE)};
        wm->set_net_client_list(clients);
        const bool shown = wait_until([&] {
            return shows_icon(slot(0, 3), RED) && shows_icon(slot(1, 3), GREEN) &&
                   shows_icon(slot(2, 3), BLUE);
        });
        EXPECT_TRUE(shown) << "the bar never showed the three clients";
        return clients;
    }

    // ---- Launched commands ----

    std::vector<std::string> launched()
    {
        std::vector<std::string> lines;
        std::istringstream text(commands.read_file("launched").value_or(""));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }
    long launched_count(const std::string& name)
    {
        const auto lines = launched();
        return std::count(lines.begin(), lines.end(), name);
    }

    // ---- Messages the panel sent to the root ----

    // Every message the window manager has received so far, after a round trip.
    std::vector<RootMessage> messages_of_type(const char* type)
    {
        wm->pump();
        const Atom wanted = wm->atom(type);
        std::vector<RootMessage> found;
        for (const RootMessage& m : wm->client_messages())
            if (m.message_type == wanted)
                found.push_back(m);
        return found;
    }

    std::unique_ptr<ScriptedWm> wm;
    std::unique_ptr<Program> panel;
    TempDir commands;
    Window bar = None;
};

}  // namespace running_panel
