// A desktop switch as a user feels it: from the switch to the bar's last
// drawing, with N windows on the desktop switched to (and five on the one
// left). The drawing is seen through the Damage extension.
#include "desktop.hpp"
#include "measurements.hpp"

void measure_switch(const Settings& s, const Subject& subject, int windows, bool openbox,
                    const std::string& scratch, Results& results)
{
    if (!subject.has_bar)
        return;
    Session session(scratch, openbox);
    Driver driver(session.server.display, !openbox);
    for (int i = 0; i < 5; ++i)
        driver.add_client(0);
    for (int i = 0; i < windows; ++i)
        driver.add_client(1);
    driver.publish();
    Run run(subject, session.server.display, scratch);
    Window bar = None;
    if (!wait_following(driver, run, subject, &bar) || !driver.watch_drawing(bar)) {
        note("  %s: no bar (or no Damage) with %d windows", subject.name.c_str(), windows);
        return;
    }

    std::vector<double> times;
    for (int i = 0; i < s.switch_runs; ++i) {
        driver.last_drawing(0ms, 0ms);  // what was drawn before
        const auto switched = Clock::now();
        driver.switch_desktop(1);
        const auto last = driver.last_drawing(500ms);
        if (last)
            times.push_back(std::chrono::duration<double, std::milli>(*last - switched).count());
        wait_quiet(run.pid(), 200ms, 20000ms);
        driver.switch_desktop(0);
        driver.last_drawing(500ms);
        wait_quiet(run.pid(), 200ms, 20000ms);
    }
    if (times.empty()) {
        note("  %s: drew nothing after a desktop switch", subject.name.c_str());
        return;
    }
    const std::string key = "switch_ms_" + std::to_string(windows) + (openbox ? "_openbox" : "");
    results[subject.name][key] = median(times);
    note("  %-10s %3d windows: desktop switch to last drawing %.1f ms (median of %zu)%s",
         subject.name.c_str(), windows, median(times), times.size(), openbox ? " under Openbox" : "");
}
