// Events about windows that are already gone by the time the bar reads
// them: both programs must take them in stride.
#include "input_running_panel.hpp"

using namespace running_panel;

namespace {

class VanishingWindows : public RunningPanel, public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(VanishingWindows, a_stream_of_events_for_just_destroyed_windows_leaves_the_bar_working)
{
    park_pointer_on_bar();
    start(GetParam());
    std::vector<Window> listed;
    for (int i = 0; i < 120; ++i) {
        ClientSpec spec;
        spec.name = string_text("short-lived");
        const Window w = wm->create_client(spec);
        listed.push_back(w);
        wm->set_net_client_list(listed);
        wm->set_name(w, compound_text("renamed"));
        wm->set_wm_state(w, IconicState);
        wm->set_wm_hints(w, WmHintsSpec{});
        XSetInputFocus(dpy, w, RevertToNone, CurrentTime);
        XFlush(dpy);
        wm->destroy(w);
        if (i % 3 == 0)
            wm->set_win_workspace(i % 2);
        if (i % 10 == 9)
            listed.clear();
    }
    wm->set_win_workspace(0);
    wm->set_net_client_list({});

    ASSERT_TRUE(panel->running());
    click_bar(10, 12);
    EXPECT_TRUE(wait_until([&] { return launched_count("Start") == 1; }));
    EXPECT_TRUE(panel->running());
    EXPECT_TRUE(expanded_bottom());
}

INSTANTIATE_TEST_SUITE_P(BothPanels, VanishingWindows, ::testing::Values("panel", "panel-lite"),
                         [](const auto& info) {
                             return std::string(info.param) == "panel" ? "panel" : "panel_lite";
                         });
