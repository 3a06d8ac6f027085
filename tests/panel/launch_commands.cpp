// Running "Start" and the calendar from the bar.
#include "input_running_panel.hpp"

#include <dirent.h>

#include <fstream>

using namespace running_panel;

namespace {

// Children of `parent` that have ended but were never collected.
int defunct_children(pid_t parent)
{
    int found = 0;
    DIR* proc = opendir("/proc");
    if (!proc)
        return -1;
    while (const dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        std::ifstream stat_file(std::string("/proc/") + entry->d_name + "/stat");
        std::string stat;
        std::getline(stat_file, stat);
        // "pid (comm) state ppid ...": comm may hold blanks and parentheses.
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        long ppid = 0;
        std::istringstream rest(stat.substr(close + 1));
        rest >> state >> ppid;
        if (ppid == parent && state == 'Z')
            ++found;
    }
    closedir(proc);
    return found;
}

class Launching : public RunningPanel, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        RunningPanel::SetUp();
        if (HasFatalFailure())
            return;
        park_pointer_on_bar();  // keeps a polling bar expanded
    }
    std::string calendar() const
    {
        return std::string(GetParam()) == "panel" ? "calendar" : "xcalendar";
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
    ASSERT_TRUE(wait_until([&] { return launched().size() == 5; }));
    EXPECT_EQ(launched_count("Start"), 3);
    EXPECT_EQ(launched_count(calendar()), 2);
    EXPECT_TRUE(panel->stdout_text().empty());
}

TEST_P(Launching, a_hundred_presses_leave_no_defunct_children)
{
    start(GetParam());
    for (int i = 0; i < 100; ++i)
        click_bar(20, 10);
    ASSERT_TRUE(wait_until([&] { return launched_count("Start") == 100; }, 20s))
        << launched_count("Start") << " commands ran";
    // Nothing else happens on the display now: collecting must not wait for traffic.
    EXPECT_TRUE(wait_until([&] { return defunct_children(panel->pid()) == 0; }, 2s))
        << defunct_children(panel->pid()) << " defunct children";
    EXPECT_TRUE(panel->running());
}

TEST_P(Launching, a_command_sees_default_signal_handling_and_none_of_the_panels_descriptors)
{
    // Started the way a session might: some signals ignored.
    const std::string report = commands.file("report");
    commands.write_script("Start", "grep -E '^Sig(Blk|Ign):' /proc/self/status > " + report +
                                       ".signals; ls -l /proc/self/fd > " + report + ".fds; mv " +
                                       report + ".signals " + commands.file("signals") + "; mv " +
                                       report + ".fds " + commands.file("fds"));
    ProgramOptions options;
    options.args = {"-c", "trap '' HUP INT QUIT PIPE; exec " + program_path(GetParam())};
    options.path_prepend = commands.path();
    wm->set_win_workspace_count(4);
    panel = std::make_unique<Program>("/bin/sh", options);
    const auto window = wait_for_panel_window(dpy);
    ASSERT_TRUE(window);
    bar = *window;
    ASSERT_TRUE(wait_until([&] { return clock_painted(); }));

    click_bar(10, 12);
    ASSERT_TRUE(wait_until([&] { return commands.read_file("fds").has_value(); }));
    EXPECT_EQ(*commands.read_file("signals"), "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
    const std::string fds = *commands.read_file("fds");
    EXPECT_EQ(fds.find("socket:"), std::string::npos) << fds;
    EXPECT_EQ(fds.find("pipe:"), std::string::npos) << fds;
}

TEST_P(Launching, a_command_the_shell_cannot_find_leaves_the_bar_running_and_silent)
{
    start(GetParam());
    std::remove(commands.file("Start").c_str());
    click_bar(10, 12);
    ASSERT_TRUE(wait_until([&] { return !panel->stderr_text().empty(); }));  // the shell's complaint
    click_bar(screen_width - 2, 12);
    ASSERT_TRUE(wait_until([&] { return launched_count(calendar()) == 1; }));
    EXPECT_TRUE(panel->running());
    EXPECT_TRUE(panel->stdout_text().empty());
}

INSTANTIATE_TEST_SUITE_P(BothPanels, Launching, ::testing::Values("panel", "panel-lite"),
                         [](const auto& info) {
                             return std::string(info.param) == "panel" ? "panel" : "panel_lite";
                         });
