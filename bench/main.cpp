// The benchmark's driver: which programs, which measurements, the report.
#include "measurements.hpp"
#include "report.hpp"

#include <string_view>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: bench [--quick] [--side-by-side] [--keep] [--build DIR] [--out FILE] [--only NAME,...]\n"
                 "             [--figures startup,idle,churn,traffic,switch,burst]\n"
                 "  --quick   shorter idle window (extrapolated to a minute), fewer runs\n"
                 "  --side-by-side  only the burst and the desktop switches, under Openbox\n"
                 "  --build   the build directory holding bin/panel (default: build)\n"
                 "  --out     where to write the JSON (default: bench/results.json)\n"
                 "  --only    measure only these programs (panel, panel-lite, tint2, lxpanel)\n"
                 "  --figures take only these measurements (default: all)\n"
                 "  --keep    keep the programs' output and the X traces, and say where\n");
}

std::vector<std::string> split_names(const std::string& list)
{
    std::vector<std::string> names;
    std::istringstream in(list);
    std::string name;
    while (std::getline(in, name, ','))
        names.push_back(name);
    return names;
}

}  // namespace

int main(int argc, char** argv)
{
    Settings s;
    s.build_dir = "build";
    s.out_path = "bench/results.json";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--quick") {
            s.quick = true;
        } else if (a == "--side-by-side") {
            s.side_by_side = true;
        } else if (a == "--keep") {
            s.keep = true;
        } else if (a == "--build" && i + 1 < argc) {
            s.build_dir = argv[++i];
        } else if (a == "--out" && i + 1 < argc) {
            s.out_path = argv[++i];
        } else if (a == "--only" && i + 1 < argc) {
            s.only = split_names(argv[++i]);
        } else if (a == "--figures" && i + 1 < argc) {
            s.figures = split_names(argv[++i]);
        } else {
            usage();
            return 2;
        }
    }
    if (s.quick) {
        s.startup_runs = 3;
        s.idle_seconds = 10;
        s.churn_changes = 10;
        s.traffic_windows = 5;
        s.traffic_repaints = 3;
        s.switch_runs = 3;
    }
    signal(SIGPIPE, SIG_IGN);
    XSetErrorHandler(ignore_errors);

    std::vector<Subject> subjects;
    for (auto name : {"panel", "panel-lite"}) {
        std::string path = fs::absolute(s.build_dir + "/bin/" + name).string();
        if (access(path.c_str(), X_OK) != 0) {
            std::fprintf(stderr, "bench: %s is not built (scripts/build)\n", path.c_str());
            return 1;
        }
        subjects.push_back({name, path, true});
    }
    for (auto name : {"tint2", "lxpanel"})
        if (auto path = find_in_path(name))
            subjects.push_back({name, *path, false});
    const std::string floor = fs::absolute(s.build_dir + "/bench/floor").string();
    if (access(floor.c_str(), X_OK) == 0)
        subjects.push_back({"floor", floor, false, false});
    if (s.side_by_side) {
        if (!find_in_path("openbox")) {
            std::fprintf(stderr, "bench: --side-by-side needs openbox\n");
            return 1;
        }
        std::erase_if(subjects, [&](const Subject& x) { return x.name == "panel-lite" && s.only.empty(); });
    }
    if (!s.only.empty())
        std::erase_if(subjects, [&](const Subject& x) {
            return std::find(s.only.begin(), s.only.end(), x.name) == s.only.end();
        });
    if (!find_in_path("xtrace"))
        note("bench: xtrace is not installed; no traffic figures");

    char scratch_template[] = "/tmp/panel-bench.XXXXXX";
    if (!mkdtemp(scratch_template)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string scratch = scratch_template;
    const auto started = Clock::now();
    Results results;
    std::string names;
    for (auto& x : subjects)
        names += " " + x.name;
    note("bench: %s run on%s", s.side_by_side ? "side-by-side" : s.quick ? "quick" : "full", names.c_str());

    try {
        // Side by side, under Openbox, only the switches and the burst.
        auto wanted = [&](std::string_view figure) {
            const bool asked =
                s.figures.empty() || std::find(s.figures.begin(), s.figures.end(), figure) != s.figures.end();
            return asked && (!s.side_by_side || figure == "switch" || figure == "burst");
        };
        const char* under = s.side_by_side ? ", under Openbox" : "";
        if (wanted("startup")) {
            note("start-up");
            for (auto& subject : subjects)
                if (subject.has_bar)
                    measure_startup(s, subject, scratch, results);
        }
        // A program that never showed a painted bar is left out of the rest.
        auto works = [&](const Subject& subject) {
            return !wanted("startup") || value(results, subject.name, "startup_ms");
        };
        std::vector<Subject> working;
        for (auto& subject : subjects)
            if (subject.has_bar && works(subject))
                working.push_back(subject);
        if (wanted("idle")) {
            note("idle and memory (%d windows; again with %d tray icons)", s.idle_windows, s.tray_icons);
            measure_idle(s, working, scratch, results);
        }
        if (wanted("churn")) {
            note("churn");
            for (int windows : s.churn_sizes)
                for (auto& subject : working)
                    measure_churn(s, subject, windows, scratch, results);
        }
        if (wanted("traffic") && find_in_path("xtrace")) {
            note("X traffic (through xtrace)");
            for (auto& subject : working)
                measure_traffic(s, subject, scratch, results);
        }
        if (wanted("switch")) {
            note("desktop switch%s", under);
            for (int windows : s.switch_sizes)
                for (auto& subject : working)
                    measure_switch(s, subject, windows, s.side_by_side, scratch, results);
        }
        if (wanted("burst")) {
            note("burst of window events%s", under);
            for (auto& subject : subjects)
                if (!subject.has_bar || works(subject))
                    measure_burst(subject, s.side_by_side, scratch, results);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench: %s\n", e.what());
        fs::remove_all(scratch);
        return 1;
    }

    const double elapsed = seconds_since(started);
    std::time_t now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    std::printf("\n%s run, %s, on %s\n", s.side_by_side ? "Side-by-side (Openbox)" : s.quick ? "Quick" : "Full",
                date, machine_description().c_str());
    for (auto& subject : subjects)
        if (!subject.ours && subject.has_bar)
            std::printf("%s %s (Debian package, default configuration)\n", subject.name.c_str(),
                        package_version(subject.name).c_str());
    print_table(results, subjects);
    if (s.quick)
        std::printf("\nquick run: idle figures extrapolated from %d s to a minute\n", s.idle_seconds);
    std::printf("%.0f s in all; figures written to %s\n", elapsed, s.out_path.c_str());
    fs::create_directories(fs::absolute(s.out_path).parent_path());
    write_json(s.out_path, s, results, subjects, elapsed);
    if (s.keep)
        std::printf("logs and traces kept in %s\n", scratch.c_str());
    else
        fs::remove_all(scratch);
    return 0;
}

