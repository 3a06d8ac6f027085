// A burst of window events: 200 windows created, then renamed, then
// destroyed, 20 at a time and 100 ms apart (600 events in about 3 s). The
// subject's CPU per window event, and the X server's CPU over the burst
// (which includes the driver's own requests, the same for every subject).
#include "desktop.hpp"
#include "measurements.hpp"

namespace {

constexpr int BURST_WINDOWS = 200;
constexpr int AT_A_TIME = 20;
constexpr auto STEP = 100ms;

// One step of 20 windows every 100 ms, whatever the step itself took.
void paced(Clock::time_point& next, const std::function<void()>& step)
{
    step();
    next += STEP;
    std::this_thread::sleep_until(next);
}

}  // namespace

void measure_burst(const Subject& subject, bool openbox, const std::string& scratch, Results& results)
{
    Session session(scratch, openbox);
    Driver driver(session.server.display, !openbox);
    driver.add_clients(10);
    Run run(subject, session.server.display, scratch);
    if (!wait_following(driver, run, subject)) {
        note("  %s: did not start for the burst (%s); its output:\n%s", subject.name.c_str(),
             run.running() ? "no painted bar" : "it ended", run.log().c_str());
        return;
    }

    const CpuSample before = sample_cpu(run.pid());
    const CpuSample server_before = sample_cpu(session.server.pid);
    auto next = Clock::now();
    for (int i = 0; i < BURST_WINDOWS / AT_A_TIME; ++i)
        paced(next, [&] {
            for (int j = 0; j < AT_A_TIME; ++j)
                driver.add_client();
            driver.publish();
        });
    const std::vector<Window> clients = driver.clients();
    const std::size_t first_new = clients.size() - BURST_WINDOWS;
    for (int i = 0; i < BURST_WINDOWS / AT_A_TIME; ++i)
        paced(next, [&] {
            for (int j = 0; j < AT_A_TIME; ++j) {
                const std::size_t k = first_new + i * AT_A_TIME + j;
                driver.rename_client(clients[k], "renamed window " + std::to_string(k));
            }
            driver.flush();
        });
    for (int i = 0; i < BURST_WINDOWS / AT_A_TIME; ++i)
        paced(next, [&] { driver.remove_clients(AT_A_TIME); });
    wait_quiet(run.pid(), 200ms, 30000ms);
    const CpuSample after = sample_cpu(run.pid());
    const CpuSample server_after = sample_cpu(session.server.pid);

    const std::string x = openbox ? "_openbox" : "";
    auto& r = results[subject.name];
    r["burst_us_per_event" + x] = (after.cpu_ns - before.cpu_ns) / 1e3 / (3 * BURST_WINDOWS);
    r["burst_xserver_ms" + x] = (server_after.cpu_ns - server_before.cpu_ns) / 1e6;
    note("  %-10s burst: %.1f us CPU per window event; X server %.1f ms%s", subject.name.c_str(),
         r["burst_us_per_event" + x], r["burst_xserver_ms" + x], openbox ? " under Openbox" : "");
}
