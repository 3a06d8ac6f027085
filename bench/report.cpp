// The report: a Markdown table for docs/performance.md and the JSON file.
#include "report.hpp"

namespace {

struct Row {
    const char* key;
    const char* label;
    int decimals;
};

const Row ROWS[] = {
    {"startup_ms", "start-up to first paint (ms)", 1},
    {"idle_cpu_ms_per_min", "idle CPU (ms per minute)", 2},
    {"idle_wakeups_per_min", "idle wake-ups (per minute)", 1},
    {"churn_ms_50", "CPU per list change, 50 windows (ms)", 3},
    {"churn_ms_200", "CPU per list change, 200 windows (ms)", 3},
    {"churn_ms_500", "CPU per list change, 500 windows (ms)", 3},
    {"requests_per_window", "requests per new window", 1},
    {"round_trips_per_window", "round trips per new window", 1},
    {"requests_per_repaint", "requests per whole repaint", 1},
    {"round_trips_per_repaint", "round trips per whole repaint", 1},
    {"rss_kib", "resident memory (KiB)", 0},
    {"private_dirty_kib", "private dirty memory (KiB)", 0},
    {"idle_cpu_ms_per_min_icons", "idle CPU, 5 tray icons (ms per minute)", 2},
    {"idle_wakeups_per_min_icons", "idle wake-ups, 5 tray icons (per minute)", 1},
    {"rss_kib_icons", "resident memory, 5 tray icons (KiB)", 0},
    {"private_dirty_kib_icons", "private dirty memory, 5 tray icons (KiB)", 0},
    {"switch_ms_50", "desktop switch to last drawing, 50 windows (ms)", 1},
    {"switch_ms_200", "desktop switch to last drawing, 200 windows (ms)", 1},
    {"burst_us_per_event", "CPU per window event in a burst (us)", 1},
    {"burst_xserver_ms", "X server CPU over the burst (ms)", 1},
    {"switch_ms_50_openbox", "Openbox: desktop switch to last drawing, 50 windows (ms)", 1},
    {"switch_ms_200_openbox", "Openbox: desktop switch to last drawing, 200 windows (ms)", 1},
    {"burst_us_per_event_openbox", "Openbox: CPU per window event in a burst (us)", 1},
    {"burst_xserver_ms_openbox", "Openbox: X server CPU over the burst (ms)", 1},
};

std::string format(double v, int decimals)
{
    if (std::isnan(v))
        return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

}  // namespace

std::optional<double> value(const Results& results, const std::string& name, const std::string& key)
{
    auto s = results.find(name);
    if (s == results.end())
        return std::nullopt;
    auto v = s->second.find(key);
    if (v == s->second.end())
        return std::nullopt;
    return v->second;
}

namespace {

std::string ratio(const Results& results, const std::string& peer, const std::string& base, const std::string& key)
{
    auto p = value(results, peer, key);
    auto b = value(results, base, key);
    if (!p || !b)
        return "-";
    if (*b <= 0)
        return *p <= 0 ? "=" : "inf";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1fx", *p / *b);
    return buf;
}

}  // namespace

void print_table(const Results& results, const std::vector<Subject>& subjects)
{
    std::vector<std::string> names;
    std::vector<std::string> peers;
    for (auto& s : subjects) {
        names.push_back(s.name);
        if (!s.ours)
            peers.push_back(s.name);
    }
    std::string header = "| figure |";
    std::string rule = "|---|";
    for (auto& n : names) {
        header += " " + n + " |";
        rule += "---:|";
    }
    for (auto& p : peers) {
        header += " " + p + " / panel |";
        rule += "---:|";
    }
    std::printf("\n%s\n%s\n", header.c_str(), rule.c_str());
    for (auto& row : ROWS) {
        // Rows of a mode not run are left out.
        if (std::none_of(names.begin(), names.end(), [&](auto& n) { return value(results, n, row.key); }))
            continue;
        std::string line = std::string("| ") + row.label + " |";
        for (auto& n : names) {
            auto v = value(results, n, row.key);
            line += " " + (v ? format(*v, row.decimals) : std::string("-")) + " |";
        }
        for (auto& p : peers)
            line += " " + ratio(results, p, "panel", row.key) + " |";
        std::printf("%s\n", line.c_str());
    }
}

namespace {

std::string json_escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20)
            continue;
        out += c;
    }
    return out;
}

}  // namespace

std::string machine_description()
{
    std::string cpu = "unknown CPU";
    std::istringstream in(read_file("/proc/cpuinfo"));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    utsname u{};
    uname(&u);
    return cpu + ", " + std::to_string(std::thread::hardware_concurrency()) + " CPUs, " + u.sysname + " " +
           u.release + " " + u.machine;
}

std::string package_version(const std::string& package)
{
    std::string command = "dpkg-query -W -f='${Version}' " + package + " 2>/dev/null";
    std::string version;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[128];
        while (std::fgets(buf, sizeof buf, pipe))
            version += buf;
        pclose(pipe);
    }
    return version;
}

void write_json(const std::string& path, const Settings& s, const Results& results,
                const std::vector<Subject>& subjects, double elapsed)
{
    std::time_t now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
    std::ofstream out(path);
    out << "{\n";
    out << "  \"date\": \"" << date << "\",\n";
    out << "  \"machine\": \"" << json_escape(machine_description()) << "\",\n";
    out << "  \"mode\": \"" << (s.quick ? "quick" : "full") << "\",\n";
    out << "  \"idle_window_seconds\": " << s.idle_seconds << ",\n";
    out << "  \"startup_runs\": " << s.startup_runs << ",\n";
    out << "  \"churn_changes\": " << s.churn_changes << ",\n";
    out << "  \"elapsed_seconds\": " << format(elapsed, 1) << ",\n";
    out << "  \"programs\": {";
    bool first_subject = true;
    for (auto& subject : subjects) {
        out << (first_subject ? "\n" : ",\n") << "    \"" << subject.name << "\": {";
        first_subject = false;
        out << "\"path\": \"" << json_escape(subject.path) << "\"";
        if (!subject.ours && subject.has_bar)
            out << ", \"version\": \"" << json_escape(package_version(subject.name)) << "\"";
        auto it = results.find(subject.name);
        if (it != results.end())
            for (auto& [key, v] : it->second)
                if (!std::isnan(v))
                    out << ", \"" << key << "\": " << format(v, 4);
        out << "}";
    }
    out << "\n  }\n}\n";
}
