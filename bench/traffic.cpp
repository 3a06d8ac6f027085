// X traffic: requests and round trips per new window and per whole repaint,
// counted in an xtrace log.
#include "desktop.hpp"
#include "measurements.hpp"

namespace {

struct Traffic {
    long requests = 0;
    long round_trips = 0;
};

// Counts the requests and the round trips in an xtrace log. Requests sent
// together are answered together and waited for once: a round trip is a
// reply to the newest request sent so far (whatever else was asked before
// it has been answered by then).
Traffic count_traffic(const std::string& text)
{
    Traffic t;
    std::istringstream in(text);
    std::string line;
    std::string newest;  // sequence number of the last request seen
    while (std::getline(in, line)) {
        // "NNN:<:SEQ: LEN: Request..." and "NNN:>:SEQ:LEN: Reply to ..."
        auto first = line.find(':');
        if (first == std::string::npos || first + 2 >= line.size())
            continue;
        const auto seq_end = line.find(':', first + 3);
        const std::string seq = seq_end == std::string::npos ? "" : line.substr(first + 3, seq_end - first - 3);
        if (line.compare(first, 3, ":<:") == 0 && line.find(": ", first + 3) != std::string::npos &&
            line.find("Request", first) != std::string::npos) {
            ++t.requests;
            newest = seq;
        } else if (line.compare(first, 3, ":>:") == 0 && line.find("Reply to", first) != std::string::npos &&
                   seq == newest) {
            ++t.round_trips;
        }
    }
    return t;
}

// Waits until the log has stopped growing for `quiet`; returns its size.
std::uintmax_t wait_log_quiet(const std::string& path, std::chrono::milliseconds quiet = 300ms,
                              std::chrono::milliseconds limit = 10000ms)
{
    auto deadline = Clock::now() + limit;
    std::error_code ec;
    auto last = fs::file_size(path, ec);
    auto quiet_since = Clock::now();
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        auto now = fs::file_size(path, ec);
        if (now != last) {
            last = now;
            quiet_since = Clock::now();
        } else if (Clock::now() - quiet_since >= quiet) {
            break;
        }
    }
    return last;
}

std::string slice(const std::string& path, std::uintmax_t from, std::uintmax_t to)
{
    std::ifstream in(path);
    in.seekg(static_cast<std::streamoff>(from));
    std::string text(to > from ? to - from : 0, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

}  // namespace

void measure_traffic(const Settings& s, const Subject& subject, const std::string& scratch, Results& results)
{
    Server server(scratch + "/xvfb-traffic.log");
    Driver driver(server.display);
    driver.add_clients(9);

    // xtrace listens on a display number of its own choosing: try free ones.
    const std::string log = scratch + "/xtrace-" + subject.name + ".log";
    pid_t proxy = -1;
    std::string fake;
    std::string socket;  // xtrace leaves it behind when it is stopped
    for (int n = 100 + getpid() % 300, tries = 0; tries < 40; ++n, ++tries) {
        if (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            continue;
        fs::remove(log);
        fake = ":" + std::to_string(n);
        proxy = spawn({"xtrace", "-n", "-k", "-d", server.display, "-D", fake, "-o", log}, {},
                      scratch + "/xtrace-stderr.log");
        auto until = Clock::now() + 3s;
        while (Clock::now() < until && alive(proxy) && !fs::exists("/tmp/.X11-unix/X" + std::to_string(n)))
            std::this_thread::sleep_for(10ms);
        if (alive(proxy) && fs::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
            socket = "/tmp/.X11-unix/X" + std::to_string(n);
            break;
        }
        stop(proxy);
    }
    const auto stop_proxy = [&] {
        stop(proxy);
        if (!socket.empty())
            fs::remove(socket);
    };
    if (proxy < 0) {
        note("  xtrace could not listen; no traffic figures");
        return;
    }

    {
        Run run(subject, fake, scratch);
        // The bar, found through the proxy (the owner pid is the proxy's).
        std::optional<Window> bar;
        auto until = Clock::now() + 30s;
        while (!bar && Clock::now() < until && run.running()) {
            bar = driver.find_bar(0);
            std::this_thread::sleep_for(20ms);
        }
        if (!bar) {
            note("  %s: no bar through the proxy", subject.name.c_str());
            stop_proxy();
            return;
        }
        driver.add_client();
        driver.publish();
        wait_log_quiet(log, 500ms, 30000ms);

        Traffic per_window;
        for (int i = 0; i < s.traffic_windows; ++i) {
            auto from = wait_log_quiet(log);
            driver.add_client();
            driver.publish();
            auto to = wait_log_quiet(log);
            Traffic t = count_traffic(slice(log, from, to));
            per_window.requests += t.requests;
            per_window.round_trips += t.round_trips;
        }
        Traffic per_repaint;
        for (int i = 0; i < s.traffic_repaints; ++i) {
            auto from = wait_log_quiet(log);
            driver.expose(*bar);
            auto to = wait_log_quiet(log);
            Traffic t = count_traffic(slice(log, from, to));
            per_repaint.requests += t.requests;
            per_repaint.round_trips += t.round_trips;
        }
        auto& r = results[subject.name];
        r["requests_per_window"] = double(per_window.requests) / s.traffic_windows;
        r["round_trips_per_window"] = double(per_window.round_trips) / s.traffic_windows;
        r["requests_per_repaint"] = double(per_repaint.requests) / s.traffic_repaints;
        r["round_trips_per_repaint"] = double(per_repaint.round_trips) / s.traffic_repaints;
        note("  %-10s per new window %.1f requests, %.1f round trips; per repaint %.1f requests, %.1f round trips",
             subject.name.c_str(), r["requests_per_window"], r["round_trips_per_window"],
             r["requests_per_repaint"], r["round_trips_per_repaint"]);
    }
    stop_proxy();
}
