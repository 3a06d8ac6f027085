// The running bar and the window manager's list, in both programs.
#include "input_running_panel.hpp"

namespace {

class FollowingTheWm : public RunningPanel, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        RunningPanel::SetUp();
        move_pointer(dpy, screen_width / 2, screen_height - 1);  // keeps a polling bar expanded
    }
};

}  // namespace

TEST_P(FollowingTheWm, the_first_buttons_appear_only_at_the_first_root_change)
{
    wm->set_net_client_list({add_client(RED)});
    start(GetParam());
    EXPECT_NE(pixel(dpy, bar, slot(0).left + 10, 12), RED);  // painted, yet without buttons
    wm->set_win_workspace(0);  // the same desktop again: a change all the same
    EXPECT_TRUE(wait_until([&] { return pixel(dpy, bar, slot(0).left + 10, 12) == RED; }));
}

TEST_P(FollowingTheWm, a_stream_of_events_for_just_destroyed_windows_leaves_the_bar_working)
{
    start(GetParam());
    std::vector<Window> listed;
    for (int i = 0; i < 120; ++i) {
        const Window w = wm->create_client({});
        listed.push_back(w);
        wm->set_net_client_list(listed);
        wm->set_name(w, compound_text("renamed"));
        wm->set_wm_state(w, IconicState);
        wm->set_wm_hints(w, WmHintsSetup{});
        XSetInputFocus(dpy, w, RevertToNone, CurrentTime);
        XFlush(dpy);
        wm->destroy(w);
        if (i % 3 == 0)
            wm->set_win_workspace(i % 2);
        if (i % 10 == 9)
            listed.clear();
    }
    wm->set_win_workspace(0);
    click_bar(10, 12);
    EXPECT_TRUE(wait_until([&] { return launched("Start") == 1; }));
    EXPECT_TRUE(panel->running());
}

INSTANTIATE_TEST_SUITE_P(BothPanels, FollowingTheWm, ::testing::Values("panel", "panel-lite"),
                         [](const auto& info) { return std::string(info.param) == "panel" ? "panel" : "lite"; });
