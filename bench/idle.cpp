// Idle cost and memory, with and without status icons docked in the tray.
#include "desktop.hpp"
#include "measurements.hpp"


// Every subject on its own server at once, so one sampling window serves all.
void measure_idle(const Settings& s, const std::vector<Subject>& subjects, const std::string& scratch,
                  Results& results)
{
    // Each subject twice: as it is, and with status icons docked in its tray.
    struct Live {
        const Subject* subject;
        std::string suffix;
        std::unique_ptr<Server> server;
        std::unique_ptr<Driver> driver;
        std::unique_ptr<Run> run;
        CpuSample before;
    };
    std::vector<Live> live;
    for (int pass = 0; pass < 2 * static_cast<int>(subjects.size()); ++pass) {
        const Subject& subject = subjects[pass / 2];
        const bool icons = pass % 2;
        Live l{&subject, icons ? "_icons" : "", std::make_unique<Server>(scratch + "/xvfb-idle.log"), nullptr,
               nullptr, {}};
        l.driver = std::make_unique<Driver>(l.server->display);
        l.driver->add_clients(s.idle_windows - 1);
        l.run = std::make_unique<Run>(subject, l.server->display, scratch);
        if (!wait_for_painted_bar(*l.driver, *l.run)) {
            note("  %s: no bar; skipped for idle and memory", subject.name.c_str());
            continue;
        }
        // One change of the list after start-up: a bar that reads the list
        // only when it changes shows every window from here on.
        l.driver->add_client();
        l.driver->publish();
        if (icons && !l.driver->dock_icons(s.tray_icons)) {
            note("  %s: its tray took no %d icons; skipped with icons", subject.name.c_str(), s.tray_icons);
            continue;
        }
        live.push_back(std::move(l));
    }
    // Warm-up: every bar has taken in the windows and gone quiet, and a few
    // seconds more for timers that fire once after start-up.
    for (auto& l : live)
        wait_quiet(l.run->pid(), 200ms, 20000ms);
    std::this_thread::sleep_for(3s);
    for (auto& l : live) {
        Memory m = sample_memory(l.run->pid());
        results[l.subject->name]["rss_kib" + l.suffix] = m.rss_kib;
        results[l.subject->name]["private_dirty_kib" + l.suffix] = m.private_dirty_kib;
        l.before = sample_cpu(l.run->pid());
    }
    note("  sampling idle for %d s", s.idle_seconds);
    std::this_thread::sleep_for(std::chrono::seconds(s.idle_seconds));
    const double per_minute = 60.0 / s.idle_seconds;
    for (auto& l : live) {
        CpuSample after = sample_cpu(l.run->pid());
        auto& r = results[l.subject->name];
        const std::string& x = l.suffix;
        r["idle_cpu_ms_per_min" + x] = (after.cpu_ns - l.before.cpu_ns) / 1e6 * per_minute;
        r["idle_wakeups_per_min" + x] = (after.switches - l.before.switches) * per_minute;
        note("  %-10s%s idle %.3f ms CPU/min, %.1f wake-ups/min; RSS %.0f KiB, private dirty %.0f KiB",
             l.subject->name.c_str(), x.empty() ? "" : " with icons", r["idle_cpu_ms_per_min" + x],
             r["idle_wakeups_per_min" + x], r["rss_kib" + x], r["private_dirty_kib" + x]);
    }
}
