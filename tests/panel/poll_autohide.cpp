// The once-a-second pointer poll of `panel`. A poll that should not act
// can only be shown by waiting a few of its periods; those waits are the
// only timed parts.
#include "input_running_panel.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

class Poll : public RunningPanel {
protected:
    void SetUp() override
    {
        RunningPanel::SetUp();
        if (HasFatalFailure())
            return;
        move_pointer(dpy, screen_width / 2, screen_height - 1);  // on the bar: it stays
    }
    bool stays(const std::function<bool()>& placement)
    {
        return !wait_until([&] { return !placement(); }, 2500ms);
    }
    // Moves the pointer to root row y and waits for the bar to be placed so.
    void pointer_to_row(int y, const std::function<bool()>& placement)
    {
        move_pointer(dpy, 500, y);
        ASSERT_TRUE(wait_until(placement)) << "row " << y;
    }
};

}  // namespace

TEST_F(Poll, started_with_the_pointer_away_the_bar_collapses_about_a_second_later)
{
    move_pointer(dpy, screen_width / 2, screen_height / 2);
    const auto started = std::chrono::steady_clock::now();
    start("panel");
    ASSERT_TRUE(wait_until([&] { return collapsed_bottom(); }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms);  // not at once
}

TEST_F(Poll, at_the_bottom_the_first_row_above_the_bar_collapses_it_and_the_last_two_expand_it)
{
    start("panel");
    move_pointer(dpy, 500, screen_height - 23);  // the bar's row 1
    EXPECT_TRUE(stays([&] { return expanded_bottom(); }));
    pointer_to_row(screen_height - 25, [&] { return collapsed_bottom(); });
    move_pointer(dpy, 500, screen_height - 3);
    EXPECT_TRUE(stays([&] { return collapsed_bottom(); }));
    pointer_to_row(screen_height - 2, [&] { return expanded_bottom(); });
}

TEST_F(Poll, at_the_top_row_24_keeps_the_bar_row_25_collapses_it_and_rows_0_to_2_expand_it)
{
    start("panel");
    click_bar(screen_width - 1, 12);
    ASSERT_TRUE(wait_until([&] { return expanded_top() || collapsed_top(); }));
    pointer_to_row(0, [&] { return expanded_top(); });

    move_pointer(dpy, 500, 24);  // one row below the bar
    EXPECT_TRUE(stays([&] { return expanded_top(); }));
    pointer_to_row(25, [&] { return collapsed_top(); });
    move_pointer(dpy, 500, 3);
    EXPECT_TRUE(stays([&] { return collapsed_top(); }));
    pointer_to_row(2, [&] { return expanded_top(); });  // below the strip: only the poll sees it
}

TEST_F(Poll, the_clock_changes_once_at_the_full_minute_although_the_wait_is_cut_every_second)
{
    const char* library = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
    if (access(library, R_OK) != 0)
        GTEST_SKIP() << "libfaketime is not installed";
    ProgramOptions options;
    // A sanitizer build's runtime would refuse to start behind the preload.
    const char* asan = std::getenv("ASAN_OPTIONS");
    options.env = {{"LD_PRELOAD", library},
                   {"FAKETIME", "@2024-01-01 10:00:56"},
                   {"TZ", "UTC"},
                   {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"}};
    start("panel", {}, options);
    const auto before = capture(dpy, bar, screen_width - 41, 2, 38, 21);
    ASSERT_TRUE(before);

    // A mark in the clock box from the test's own connection: only a
    // repaint of the clock removes it. The minute turns about four seconds
    // after start-up; count the repaints over nine.
    const auto mark = [&] {
        GC gc = XCreateGC(dpy, bar, 0, nullptr);
        XSetForeground(dpy, gc, RED);
        XFillRectangle(dpy, bar, gc, screen_width - 12, 4, 3, 3);
        XFreeGC(dpy, gc);
        sync(dpy);
    };
    mark();
    int repaints = 0;
    for (const auto until = std::chrono::steady_clock::now() + 9s; std::chrono::steady_clock::now() < until;) {
        if (pixel(dpy, bar, screen_width - 11, 5) != RED) {
            ++repaints;
            mark();
        }
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(repaints, 1);
    const auto after = capture(dpy, bar, screen_width - 41, 2, 38, 21);
    ASSERT_TRUE(after);
    EXPECT_NE(before->count(panel_pixel(dpy, PanelColor::Ink)), 0);
    bool text_changed = false;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 38; ++x)
            if (x < 29 || y < 2 || y > 4)  // outside the mark
                text_changed |= before->at(x, y) != after->at(x, y);
    EXPECT_TRUE(text_changed);
}
