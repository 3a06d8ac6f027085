// CPU per change of the client list, one window added or taken away at a time.
#include "desktop.hpp"
#include "measurements.hpp"

void measure_churn(const Settings& s, const Subject& subject, int windows, const std::string& scratch,
                   Results& results)
{
    Server server(scratch + "/xvfb-churn.log");
    Driver driver(server.display);
    driver.add_clients(windows - 1);
    Run run(subject, server.display, scratch);
    if (!wait_for_painted_bar(driver, run)) {
        note("  %s: no bar with %d windows", subject.name.c_str(), windows);
        return;
    }
    driver.add_client();
    driver.publish();
    wait_quiet(run.pid(), 200ms, 60000ms);

    // Each change adds a window or takes the last one away again, so the
    // list holds `windows` or one more; each is let settle before the next.
    CpuSample before = sample_cpu(run.pid());
    for (int i = 0; i < s.churn_changes; ++i) {
        if (i % 2 == 0) {
            driver.add_client();
            driver.publish();
        } else {
            driver.remove_last_client();
        }
        wait_quiet(run.pid(), 40ms, 10000ms);
    }
    wait_quiet(run.pid(), 200ms, 20000ms);
    CpuSample after = sample_cpu(run.pid());
    double ms = (after.cpu_ns - before.cpu_ns) / 1e6 / s.churn_changes;
    results[subject.name]["churn_ms_" + std::to_string(windows)] = ms;
    note("  %-10s %3d windows: %.3f ms CPU per list change", subject.name.c_str(), windows, ms);
}
