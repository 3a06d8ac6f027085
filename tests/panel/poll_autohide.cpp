// The once-a-second pointer poll of `panel`: it hides the bar when the
// pointer is away and shows it again when the pointer reaches its edge.
// A poll that should not act can only be shown by waiting a few of its
// periods; those waits are the only timed parts.
#include "input_running_panel.hpp"

#include <X11/Xlib.h>

#include <unistd.h>

#include <chrono>
#include <thread>

using namespace running_panel;

namespace {

constexpr auto SEVERAL_POLLS = 2500ms;

class Poll : public RunningPanel {
protected:
    bool stays(const std::function<bool()>& placement)
    {
        return !wait_until([&] { return !placement(); }, SEVERAL_POLLS);
    }

    // From a bar expanded at the bottom with the pointer on it: to the top
    // edge, expanded, with the pointer resting on the bar's row 0.
    void move_to_top_and_rest_on_it()
    {
        click_bar(screen_width - 1, 12);
        ASSERT_TRUE(wait_until([&] { return expanded_top() || collapsed_top(); }));
        move_pointer(dpy, 500, 0);
        ASSERT_TRUE(wait_until([&] { return expanded_top(); }));
    }
};

}  // namespace

TEST_F(Poll, started_with_the_pointer_away_the_bar_collapses_about_a_second_later)
{
    park_pointer(screen_width / 2, screen_height / 2);
    const auto started = std::chrono::steady_clock::now();
    start("panel");
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    // Not at once: the first check comes a second after start-up.
    EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms);
}

TEST_F(Poll, started_with_the_pointer_on_the_bar_it_stays)
{
    park_pointer_on_bar();
    start("panel");
    EXPECT_TRUE(stays([&] { return expanded_bottom(); }));
}

TEST_F(Poll, at_the_bottom_the_first_row_above_the_bar_collapses_it)
{
    park_pointer_on_bar();
    start("panel");
    move_pointer(dpy, 500, screen_height - 23);  // bar row 1
    EXPECT_TRUE(stays([&] { return expanded_bottom(); }));

    move_pointer(dpy, 500, screen_height - 25);
    EXPECT_TRUE(wait_until([&] { return collapsed_bottom(); }));
}

TEST_F(Poll, at_the_bottom_a_collapsed_bar_expands_only_on_the_last_two_rows)
{
    park_pointer_on_bar();
    start("panel");
    move_pointer(dpy, 500, screen_height / 2);
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));

    move_pointer(dpy, 10, screen_height - 3);
    EXPECT_TRUE(stays([&] { return collapsed_bottom(); }));
    move_pointer(dpy, 10, screen_height - 2);
    EXPECT_TRUE(wait_until([&] { return expanded_bottom(); }));
}

TEST_F(Poll, at_the_top_row_24_keeps_the_bar_and_row_25_collapses_it)
{
    park_pointer_on_bar();
    start("panel");
    move_to_top_and_rest_on_it();

    move_pointer(dpy, 500, 24);  // one row below the bar
    EXPECT_TRUE(stays([&] { return expanded_top(); }));
    move_pointer(dpy, 500, 25);
    EXPECT_TRUE(wait_until([&] { return collapsed_top(); }));
}

TEST_F(Poll, at_the_top_a_collapsed_bar_expands_on_the_three_top_rows)
{
    park_pointer_on_bar();
    start("panel");
    move_to_top_and_rest_on_it();
    move_pointer(dpy, 500, screen_height / 2);
    ASSERT_TRUE(wait_until([&] { return collapsed_top(); }));

    move_pointer(dpy, screen_width - 1, 3);
    EXPECT_TRUE(stays([&] { return collapsed_top(); }));
    move_pointer(dpy, screen_width - 1, 2);  // below the strip: only the poll sees it
    EXPECT_TRUE(wait_until([&] { return expanded_top(); }));
}

TEST_F(Poll, a_bar_collapsed_by_a_press_under_the_resting_pointer_is_shown_again_by_the_poll)
{
    park_pointer_on_bar();
    start("panel");
    // The strip comes to lie under the pointer without any motion: only the
    // poll can see the pointer on the last row.
    click_bar(500, 23);
    EXPECT_TRUE(wait_until([&] { return expanded_bottom(); }));
    EXPECT_TRUE(stays([&] { return expanded_bottom(); }));
}

namespace {

// The panel under a clock that starts a few seconds before a full minute.
class PollClock : public RunningPanel {
protected:
    static std::string faketime_library()
    {
        for (const char* path : {"/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1",
                                 "/usr/lib/aarch64-linux-gnu/faketime/libfaketime.so.1",
                                 "/usr/lib/faketime/libfaketime.so.1"})
            if (access(path, R_OK) == 0)
                return path;
        return {};
    }

    // Paints a mark inside the clock box from the test's own connection;
    // only a repaint of the clock by the panel removes it.
    void mark_clock()
    {
        GC gc = XCreateGC(dpy, bar, 0, nullptr);
        XSetForeground(dpy, gc, MAGENTA);
        XFillRectangle(dpy, bar, gc, screen_width - 12, 4, 3, 3);
        XFreeGC(dpy, gc);
        sync(dpy);
    }
    bool mark_present() { return bar_pixel(screen_width - 11, 5) == MAGENTA; }
};

}  // namespace

TEST_F(PollClock, the_clock_is_repainted_once_at_the_full_minute_although_the_wait_is_cut_every_second)
{
    const std::string library = faketime_library();
    if (library.empty())
        GTEST_SKIP() << "libfaketime is not installed";
    park_pointer_on_bar();
    ProgramOptions options;
    options.env = {{"LD_PRELOAD", library},
                   {"FAKETIME", "@2024-01-01 10:00:56"},
                   {"TZ", "UTC"}};
    start("panel", 4, options);
    const auto before = capture(dpy, bar, screen_width - 41, 2, 38, 21);
    ASSERT_TRUE(before);
    mark_clock();

    // The minute turns about four seconds after start-up; the poll cuts the
    // wait every second meanwhile. Count the repaints over nine seconds.
    int repaints = 0;
    const auto until = std::chrono::steady_clock::now() + 9s;
    while (std::chrono::steady_clock::now() < until) {
        if (!mark_present()) {
            ++repaints;
            mark_clock();
        }
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(repaints, 1);
    EXPECT_TRUE(expanded_bottom());

    // The text changed from 10:00 to 10:01 with that one repaint.
    const auto after = capture(dpy, bar, screen_width - 41, 2, 38, 21);
    ASSERT_TRUE(after);
    int changed = 0;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 38; ++x)
            if (before->at(x, y) != after->at(x, y) && after->at(x, y) != MAGENTA)
                ++changed;
    EXPECT_GT(changed, 0);
}
