// Running "Start" and the calendar from the bar, in both programs.
#include "input_running_panel.hpp"

#include <dirent.h>

#include <fstream>

namespace {

// Children of `parent` that have ended and were never collected.
int defunct_children(pid_t parent)
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

class Launching : public RunningPanel, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        RunningPanel::SetUp();
        move_pointer(dpy, screen_width / 2, screen_height - 1);  // keeps a polling bar expanded
    }
};

}  // namespace

TEST_P(Launching, each_press_on_start_or_the_clock_starts_one_more_command)
{
    start(GetParam());
    for (int i = 0; i < 3; ++i)
        click_bar(10, 12);
    click_bar(screen_width - 2, 12);
    click_bar(screen_width - 30, 5);
    ASSERT_TRUE(wait_until([&] { return launched() == 5; }));
    EXPECT_EQ(launched("Start"), 3);
    EXPECT_EQ(launched(std::string(GetParam()) == "panel" ? "calendar" : "xcalendar"), 2);
}

TEST_P(Launching, a_hundred_presses_leave_no_defunct_children)
{
    start(GetParam());
    for (int i = 0; i < 100; ++i)
        click_bar(20, 10);
    ASSERT_TRUE(wait_until([&] { return launched("Start") == 100; }, 20s));
    // No X traffic from here on: collecting must not wait for any.
    EXPECT_TRUE(wait_until([&] { return defunct_children(panel->pid()) == 0; }, 2s))
        << defunct_children(panel->pid()) << " defunct children";
    EXPECT_TRUE(panel->running());
}

TEST_P(Launching, a_command_sees_default_signal_handling_and_none_of_the_panels_descriptors)
{
    const std::string signals = commands.file("signals"), fds = commands.file("fds");
    commands.write_script("Start", "grep -E '^Sig(Blk|Ign):' /proc/self/status > " + signals +
                                       ".new; ls -l /proc/self/fd > " + fds + "; mv " + signals +
                                       ".new " + signals);
    start(GetParam(), "trap '' HUP INT QUIT PIPE;");  // as a session might start it
    click_bar(10, 12);
    ASSERT_TRUE(wait_until([&] { return commands.read_file("signals").has_value(); }));
    EXPECT_EQ(*commands.read_file("signals"), "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
    const std::string open = commands.read_file("fds").value_or("");
    EXPECT_EQ(open.find("socket:"), std::string::npos) << open;  // the X connection
    EXPECT_EQ(open.find("pipe:"), std::string::npos) << open;    // the poll's wake-up pipe
}

INSTANTIATE_TEST_SUITE_P(BothPanels, Launching, ::testing::Values("panel", "panel-lite"),
                         [](const auto& info) { return std::string(info.param) == "panel" ? "panel" : "lite"; });
