// A built panel running against a private server, with a scripted window
// manager that publishes four desktops and the clients, and the commands
// "Start", "calendar" and "xcalendar" on PATH, each of which appends its
// name to a file.
#pragma once

#include "kit_test.hpp"

#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace kit_test;

struct Slot {
    int left;
    int width;
};

class RunningPanel : public XServerTest {
protected:
    // Solid icon colours, so a button can be recognised by its pixels.
    static constexpr unsigned long RED = 0xff0000, GREEN = 0x00ff00, BLUE = 0x0000ff;

    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(has_xtest(dpy));
        wm = std::make_unique<ScriptedWm>();
        for (const char* name : {"Start", "calendar", "xcalendar"})
            commands.write_script(name, std::string("echo ") + name + " >> " + commands.file("log"));
    }

    void TearDown() override
    {
        panel.reset();
        wm.reset();
        XServerTest::TearDown();
    }

    // Starts `program` (through /bin/sh -c `shell_prefix` when given) and
    // waits until its bar is painted, or already collapsed by the poll.
    void start(const std::string& program, const std::string& shell_prefix = {},
               ProgramOptions options = {})
    {
        wm->set_win_workspace_count(4);
        wm->set_win_workspace(0);
        options.path_prepend = commands.path();
        if (shell_prefix.empty()) {
            panel = std::make_unique<Program>(program_path(program), options);
        } else {
            options.args = {"-c", shell_prefix + " exec " + program_path(program)};
            panel = std::make_unique<Program>("/bin/sh", options);
        }
        const auto window = wait_for_panel_window(dpy);
        ASSERT_TRUE(window) << "no bar appeared";
        bar = *window;
        ASSERT_TRUE(wait_until([&] { return painted() || bar_geometry().height == 2; }));
    }
    bool painted()
    {
        return pixel(dpy, bar, screen_width - 20, 3) == panel_pixel(dpy, PanelColor::FacePressed);
    }

    // ---- Placement ----

    Geometry bar_geometry() { return geometry(dpy, bar).value_or(Geometry{}); }
    bool placed(int y, int height)
    {
        const Geometry g = bar_geometry();
        return g.x == 0 && g.width == screen_width && g.y == y && g.height == height;
    }
    bool expanded_bottom() { return placed(screen_height - 24, 24); }
    bool collapsed_bottom() { return placed(screen_height - 2, 2); }
    bool expanded_top() { return placed(0, 24); }
    bool collapsed_top() { return placed(0, 2); }

    // ---- Input at the bar's own coordinates ----

    void click_bar(int x, int y) { click_at(dpy, x, bar_geometry().y + y); }
    void move_over_bar(int x, int y) { move_pointer(dpy, x, bar_geometry().y + y); }

    // ---- Client buttons: three, laid out after four desktop buttons ----

    static Slot slot(int index) { return {148 + index * 145, 144}; }
    bool button_face_is(int index, PanelColor colour)
    {
        const Slot s = slot(index);
        return pixel(dpy, bar, s.left + s.width - 3, 12) == panel_pixel(dpy, colour);
    }
    bool looks_pressed(int index) { return button_face_is(index, PanelColor::FacePressed); }
    bool looks_raised(int index) { return button_face_is(index, PanelColor::Face); }

    Window add_client(unsigned long icon_colour)
    {
        ClientSetup setup;
        setup.name = string_text("xy");
        setup.kwm_win_icon = {wm->create_solid_pixmap(16, 16, DefaultDepth(dpy, screen), icon_colour), None};
        return wm->create_client(setup);
    }
    std::vector<Window> show_three_clients()
    {
        const std::vector<Window> clients = {add_client(RED), add_client(GREEN), add_client(BLUE)};
        wm->set_net_client_list(clients);
        EXPECT_TRUE(wait_until([&] { return pixel(dpy, bar, slot(2).left + 10, 12) == BLUE; }));
        return clients;
    }

    // ---- What the panel did ----

    long launched(const std::string& name = {})
    {
        std::istringstream log(commands.read_file("log").value_or(""));
        long count = 0;
        for (std::string line; std::getline(log, line);)
            count += name.empty() || line == name;
        return count;
    }
    // Messages of that type the window manager has received, after a round trip.
    std::vector<RootMessage> messages(const char* type)
    {
        wm->pump();
        std::vector<RootMessage> found;
        for (const RootMessage& m : wm->client_messages())
            if (m.message_type == wm->atom(type))
                found.push_back(m);
        return found;
    }

    std::unique_ptr<ScriptedWm> wm;
    std::unique_ptr<Program> panel;
    TempDir commands;
    Window bar = None;
};
