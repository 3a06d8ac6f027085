// A built panel on a private server, watched over a long run: does a click
// on its Start area still launch "Start", does it paint itself again when
// uncovered, what does it hold on the server and in memory, and does it
// end without a sanitizer report.
#pragma once

#include "kit_test.hpp"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace robust_test {

using namespace kit_test;

// A count from the environment, for the long manual runs.
inline unsigned long env_number(const char* name, unsigned long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 0) : fallback;
}

// Resident memory of a process in KiB, 0 when it cannot be read.
inline long resident_kib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

// Children of `parent` that have ended and were never collected.
inline int defunct_children(pid_t parent)
{
    int found = 0;
    DIR* proc = opendir("/proc");
    while (const dirent* entry = proc ? readdir(proc) : nullptr) {
        std::ifstream stat_file(std::string("/proc/") + entry->d_name + "/stat");
        std::string stat;
        std::getline(stat_file, stat);
        // "pid (comm) state ppid ...": comm may hold blanks and parentheses.
        const auto close = stat.rfind(')');
        char state = 0;
        long ppid = 0;
        if (close != std::string::npos && std::istringstream(stat.substr(close + 1)) >> state >> ppid)
            found += ppid == parent && state == 'Z';
    }
    if (proc)
        closedir(proc);
    return found;
}

inline bool same_pixels(const Image& a, const Image& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.at(x, y) != b.at(x, y))
                return false;
    return true;
}

class RobustBar : public XServerTest {
protected:
    static constexpr int START_X = 10;  // inside the Start area, left of its label

    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(has_xtest(dpy));
        for (const char* name : {"Start", "calendar", "xcalendar"})
            commands.write_script(name, std::string("echo ") + name + " >> " + commands.file("log"));
    }

    void TearDown() override
    {
        panel.reset();
        XServerTest::TearDown();  // copes with a server already stopped
    }

    // Starts the bar with the pointer resting on its Start area (so a
    // polling bar stays up) and notes how it looks and what it holds.
    void start(const char* program, ProgramOptions options = {})
    {
        options.path_prepend = commands.path();
        move_pointer(dpy, START_X, screen_height - 12);
        panel = std::make_unique<Program>(program_path(program), options);
        const auto window = wait_for_panel_window(dpy);
        ASSERT_TRUE(window) << panel->stderr_text();
        bar = *window;
        const unsigned long pressed = panel_pixel(dpy, PanelColor::FacePressed);
        ASSERT_TRUE(wait_until([&] { return pixel(dpy, bar, screen_width - 20, 3) == pressed; }));
        sync(dpy);
        start_area = capture(dpy, root, 0, screen_height - 24, 50, 24);
        ASSERT_TRUE(start_area);
        const auto counts = client_resources(dpy, bar);
        ASSERT_TRUE(counts);
        resources_at_start = *counts;
    }

    long launched()
    {
        std::istringstream log(commands.read_file("log").value_or(""));
        long count = 0;
        for (std::string line; std::getline(log, line);)
            ++count;
        return count;
    }

    // A click on the Start area launches "Start" within `limit`.
    ::testing::AssertionResult answers_a_click(std::chrono::milliseconds limit = 1s)
    {
        const long before = launched();
        click_at(dpy, START_X, screen_height - 12);
        if (wait_until([&] { return launched() > before; }, limit))
            return ::testing::AssertionSuccess();
        const std::string state = diagnosis();
        const bool late = wait_until([&] { return launched() > before; }, 10s);
        return ::testing::AssertionFailure()
               << "no \"Start\" within " << limit.count() << " ms of the click ("
               << (late ? "it came later" : "none in 10 s more") << "); " << state
               << "; the bar's output: " << panel->stdout_text() << panel->stderr_text();
    }

    // The bar takes events in order: a click it answers shows it has taken
    // in everything sent before it, and that doing so did not hang it.
    ::testing::AssertionResult catches_up() { return answers_a_click(10s); }

    // What the bar is doing: busy or asleep, and whether it still listens.
    std::string diagnosis()
    {
        std::ifstream stat_file("/proc/" + std::to_string(panel->pid()) + "/stat");
        std::string stat;
        std::getline(stat_file, stat);
        const auto close = stat.rfind(')');
        std::ostringstream text;
        text << "bar's event masks 0x" << std::hex << all_event_masks(dpy, bar) << std::dec
             << ", process state "
             << (close == std::string::npos ? std::string("gone") : stat.substr(close + 2, 1));
        if (const auto where = geometry(dpy, bar))
            text << ", bar at " << where->x << "," << where->y << " " << where->width << "x"
                 << where->height << (where->viewable() ? "" : " unmapped");
        Window root_return = None, child = None;
        int root_x = 0, root_y = 0, x = 0, y = 0;
        unsigned int buttons = 0;
        XQueryPointer(dpy, root, &root_return, &child, &root_x, &root_y, &x, &y, &buttons);
        text << ", pointer at " << root_x << "," << root_y << " over 0x" << std::hex << child
             << " (bar 0x" << bar << ")" << std::dec;
        return text.str();
    }

    // Covered and uncovered, the Start area shows its label and grooves again.
    ::testing::AssertionResult repaints_when_uncovered()
    {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = BlackPixel(dpy, screen);
        const Window cover = XCreateWindow(dpy, root, 0, screen_height - 30, 200, 30, 0,
                                           CopyFromParent, InputOutput, CopyFromParent,
                                           CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(dpy, cover);
        sync(dpy);
        XDestroyWindow(dpy, cover);
        sync(dpy);
        const bool back = wait_until([&] {
            const auto now = capture(dpy, root, 0, screen_height - 24, 50, 24);
            return now && same_pixels(*now, *start_area);
        }, 1s);
        if (!back)
            return ::testing::AssertionFailure()
                   << "the Start area was not painted again; " << diagnosis();
        return ::testing::AssertionSuccess();
    }

    // No client button left: from the first slot to the clock's groove the
    // bar shows only its face.
    bool client_area_blank(int pager_width)
    {
        const int left = pager_width + 52 + 2;
        const auto area = capture(dpy, bar, left, 1, screen_width - 43 - left, 22);
        return area && area->count(panel_pixel(dpy, PanelColor::Face)) == area->width() * area->height();
    }

    bool resources_back()
    {
        const auto now = client_resources(dpy, bar);
        return now && now->windows == resources_at_start.windows &&
               now->pixmaps == resources_at_start.pixmaps && now->gcs == resources_at_start.gcs &&
               now->fonts == resources_at_start.fonts;
    }

    // Takes the server away under the bar, after every other connection has
    // gone: Xlib then ends the panel through exit(1), which in the
    // sanitizer build runs the leak check; the harness fails the test on any
    // report that the panel prints.
    void end_server_under_panel()
    {
        XCloseDisplay(dpy);
        dpy = nullptr;
        server().stop();
        EXPECT_EQ(panel->wait_exit(30s), 1) << panel->stderr_text();
    }

    std::unique_ptr<Program> panel;
    TempDir commands;
    Window bar = None;
    std::optional<Image> start_area;
    ResourceCounts resources_at_start;
};

}  // namespace robust_test
