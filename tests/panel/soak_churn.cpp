// A long day on a busy desktop, compressed: thousands of client windows
// created, renamed, iconified, restored, moved between desktops and
// destroyed in bursts while the window manager publishes the list, and
// hundreds of commands launched from the bar. Afterwards the bar holds no
// buttons, the same server resources as after start-up, about the same
// memory, and no defunct children.
//
// KIT_SOAK_WINDOWS lengthens the run (see docs/robustness.md).
#include "robust_bar.hpp"

#include <X11/Xutil.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace {

using namespace robust_test;

constexpr int BURST = 50;
constexpr int KEPT = 10;            // of each burst, left for the next one to destroy
constexpr int LAUNCHES_PER_BURST = 5;
constexpr int DESKTOPS = 4;
// Growth of the bar's resident memory over the whole run. A leak of even
// a title or a property reply per window would pass it several times over.
// The sanitizer build's allocator keeps bookkeeping of its own (a stack
// for every allocation site, per-size caches) that grows for a while and
// levels off; there the leak check at exit does the finer work.
#ifdef __SANITIZE_ADDRESS__
constexpr long RESIDENT_GROWTH_BOUND_KIB = 16 * 1024;
#else
constexpr long RESIDENT_GROWTH_BOUND_KIB = 1024;
#endif

class ChurnSoak : public RobustBar {
protected:
    void TearDown() override
    {
        wm.reset();  // before its server
        RobustBar::TearDown();
    }

    // A client as applications make them: named, often with an icon in its
    // hints (which the bar copies and must free), some on another desktop.
    Window new_client(int n)
    {
        ClientSetup setup;
        setup.x = 20 + n % 400;
        setup.y = 20 + n % 300;
        setup.name = n % 3 ? string_text("client " + std::to_string(n))
                          : compound_text("\x1b%G\xc3\xa9t\xc3\xa9 " + std::to_string(n));
        if (n % 2) {
            setup.wm_hints = WmHintsSetup{.icon = icons[n % icons.size()], .mask = n % 4 == 1 ? mask : None};
        } else if (n % 5 == 0) {
            setup.kwm_win_icon = {{icons[0], None}};
        }
        setup.workspace = n % 7 == 0 ? 1 : 0;
        setup.wm_state = 1;
        return wm->create_client(setup);
    }

    void publish(const std::deque<Window>& live)
    {
        wm->set_net_client_list(std::vector<Window>(live.begin(), live.end()));
    }

    // Start and the clock, in turn.
    void launch(int n)
    {
        if (n % 2)
            click_at(dpy, START_X, screen_height - 12);
        else
            click_at(dpy, screen_width - 30, screen_height - 12);
        ++launches;
    }

    std::unique_ptr<ScriptedWm> wm;
    std::vector<Pixmap> icons;
    Pixmap mask = None;
    long launches = 0;
};

}  // namespace

TEST_F(ChurnSoak, thousands_of_windows_and_hundreds_of_launches_leave_nothing_behind)
{
    const int windows = static_cast<int>(env_number("KIT_SOAK_WINDOWS", 2000));
    wm = std::make_unique<ScriptedWm>();
    wm->set_win_workspace_count(DESKTOPS);
    wm->set_win_workspace(0);
    const int depth = DefaultDepth(dpy, screen);
    icons = {wm->create_solid_pixmap(32, 32, depth, 0xff0000),
             wm->create_solid_pixmap(7, 300, depth, 0x00ff00),
             wm->create_solid_pixmap(16, 16, 1, 1)};
    mask = wm->create_bitmap(32, 32, [](int x, int y) { return (x + y) % 3 != 0; });
    // In the sanitizer build freed blocks are held back (to catch late
    // uses) up to 256 MiB by default, which would read as growth here.
    const char* asan = std::getenv("ASAN_OPTIONS");
    start("panel", {.env = {{"ASAN_OPTIONS", std::string(asan ? asan : "") + ":quarantine_size_mb=1"}}});
    const long resident_at_start = resident_kib(panel->pid());

    std::deque<Window> live;
    for (int made = 0, burst = 0; made < windows; ++burst) {
        SCOPED_TRACE("burst " + std::to_string(burst));
        std::vector<Window> fresh;
        for (int i = 0; i < BURST && made < windows; ++i, ++made) {
            fresh.push_back(new_client(made));
            live.push_back(fresh.back());
            if (i % 10 == 9)
                publish(live);
        }
        publish(live);
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            const Window w = fresh[i];
            wm->set_name(w, string_text("renamed " + std::to_string(i)));
            if (i % 3 == 0) {  // iconified and restored, as a window manager does it
                wm->set_wm_state(w, IconicState);
                wm->unmap(w);
                wm->set_wm_state(w, NormalState);
                wm->map(w);
            }
            if (i % 4 == 0)  // a hinted icon arrives late
                wm->set_wm_hints(w, WmHintsSetup{.icon = icons[i % icons.size()], .mask = mask});
            if (i % 5 == 0)  // sent to another desktop and back
                wm->set_workspace(w, 2);
        }
        // A desktop switch rebuilds every button; then back again.
        wm->set_win_workspace(1 + burst % (DESKTOPS - 1));
        wm->set_win_workspace(0);
        ASSERT_TRUE(wait_until([&] { return !client_area_blank(DESKTOPS * 24); })) << "no buttons";
        for (int i = 0; i < LAUNCHES_PER_BURST; ++i)
            launch(i);
        // All but a few go, in bursts of their own; the rest go next time.
        while (live.size() > static_cast<std::size_t>(KEPT)) {
            wm->destroy(live.front());
            live.pop_front();
            if (live.size() % 7 == 0)
                publish(live);
        }
        publish(live);
        ASSERT_TRUE(catches_up()) << "after burst " << burst;
        ASSERT_TRUE(answers_a_click()) << "after burst " << burst;
        launches += 2;
    }
    while (!live.empty()) {
        wm->destroy(live.front());
        live.pop_front();
    }
    publish(live);

    ASSERT_TRUE(wait_until([&] { return client_area_blank(DESKTOPS * 24); }, 10s))
        << "buttons remain";
    EXPECT_TRUE(wait_until([&] { return resources_back(); }, 10s));
    const ResourceCounts at_end = client_resources(dpy, bar).value_or(ResourceCounts{});
    EXPECT_TRUE(wait_until([&] { return launched() == launches; }, 20s))
        << launched() << " of " << launches << " launches seen";
    EXPECT_TRUE(wait_until([&] { return defunct_children(panel->pid()) == 0; }, 2s))
        << defunct_children(panel->pid()) << " defunct children";
    const long resident_at_end = resident_kib(panel->pid());
    EXPECT_LE(resident_at_end - resident_at_start, RESIDENT_GROWTH_BOUND_KIB);
    EXPECT_EQ(panel->stderr_text(), "");

    // The figures docs/robustness.md quotes.
    std::printf("soak: %d windows, %ld launches; resources (windows, pixmaps, GCs, fonts) "
                "%d %d %d %d after start-up, %d %d %d %d at the end; resident %ld KiB after "
                "start-up, %ld KiB at the end\n",
                windows, launches, resources_at_start.windows, resources_at_start.pixmaps,
                resources_at_start.gcs, resources_at_start.fonts, at_end.windows, at_end.pixmaps,
                at_end.gcs, at_end.fonts, resident_at_start, resident_at_end);
    wm.reset();
    end_server_under_panel();
}
