// Start-up: from fork to the first painted bar, on a fresh server each time.
#include "desktop.hpp"
#include "measurements.hpp"

void measure_startup(const Settings& s, const Subject& subject, const std::string& scratch, Results& results)
{
    std::vector<double> times;
    for (int i = 0; i < s.startup_runs; ++i) {
        Server server(scratch + "/xvfb-startup.log");
        Driver driver(server.display);
        driver.add_clients(10);
        Run run(subject, server.display, scratch);
        auto bar = wait_for_painted_bar(driver, run);
        if (!bar) {
            note("  %s: no painted bar within 20 s; its output:\n%s", subject.name.c_str(), run.log().c_str());
            return;
        }
        times.push_back(bar->second * 1000);
    }
    results[subject.name]["startup_ms"] = median(times);
    note("  %-10s start-up %.1f ms (median of %d)", subject.name.c_str(), median(times), s.startup_runs);
}
