// What every part of the benchmark shares: settings, processes and CPU
// samples, the X server, the subjects and their runs, the results.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// ---- Settings ---------------------------------------------------------------

struct Settings {
    bool quick = false;
    bool keep = false;  // leave the scratch directory (logs, traces) in place
    std::string build_dir;
    std::string out_path;
    std::vector<std::string> only;     // subject names; empty: all available
    std::vector<std::string> figures;  // measurement names; empty: all
    int startup_runs = 5;
    int idle_seconds = 60;
    int churn_changes = 20;
    std::vector<int> churn_sizes{50, 200, 500};
    std::vector<int> switch_sizes{50, 200};
    int switch_runs = 5;
    bool side_by_side = false;  // under Openbox, beside the floor and the peers
    int traffic_windows = 10;
    int traffic_repaints = 5;
    int idle_windows = 50;
    int tray_icons = 5;
};

constexpr int SCREEN_W = 1024;
constexpr int SCREEN_H = 768;

inline double seconds_since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

void note(const char* fmt, auto... args)
{
    std::fprintf(stderr, fmt, args...);
    std::fputc('\n', stderr);
}

// ---- Processes --------------------------------------------------------------

// fork + exec with extra environment; output to `log` (or /dev/null).
pid_t spawn(const std::vector<std::string>& argv,
            const std::vector<std::pair<std::string, std::string>>& env,
            const std::string& log, int keep_fd = -1);
bool alive(pid_t pid);
// SIGTERM, then SIGKILL after `grace`; always reaps.
void stop(pid_t& pid, std::chrono::milliseconds grace = 3000ms);
std::string read_file(const std::string& path);
// True while the process exists and is not a zombie.
bool process_running(pid_t pid);
// Stops whatever a program left running in its run's HOME: lxpanel starts a
// menu cache daemon that detaches itself and would outlive the run.
void stop_strays(const std::string& home);

// CPU time (ns) and context switches of every live thread of a process.
struct CpuSample {
    double cpu_ns = 0;
    long switches = 0;
    bool ok = false;
};
CpuSample sample_cpu(pid_t pid);

struct Memory {
    long rss_kib = 0;
    long pss_kib = 0;
    long private_dirty_kib = 0;
};
Memory sample_memory(pid_t pid);

// Waits until the process has used no CPU for `quiet` (sampled every 10 ms),
// at most `limit`. Returns whether it went quiet.
bool wait_quiet(pid_t pid, std::chrono::milliseconds quiet = 80ms,
                std::chrono::milliseconds limit = 10000ms);

// ---- The X server -----------------------------------------------------------

struct Server {
    pid_t pid = -1;
    std::string display;  // ":N"

    explicit Server(const std::string& log);
    ~Server() { stop(pid); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
};

int ignore_errors(Display*, XErrorEvent*);

// A private server, with Openbox managing it when asked (its configuration
// is the demo's: four desktops, no pop-ups).
struct Session {
    Server server;
    pid_t window_manager = -1;

    Session(const std::string& scratch, bool openbox);
    ~Session() { stop(window_manager); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// ---- Subjects -----------------------------------------------------------------

struct Subject {
    std::string name;
    std::string path;
    bool ours = false;
    bool has_bar = true;  // the floor program shows nothing
};

// One run of a subject: a private HOME, its process and log.
class Run {
public:
    Run(const Subject& subject, const std::string& display, const std::string& scratch)
    {
        home_ = scratch + "/home-" + subject.name + "-" + std::to_string(counter_++);
        fs::create_directories(home_);
        if (subject.name == "tint2") {
            // Its default configuration, in place before it starts, so the
            // first run does not pay for writing it.
            fs::create_directories(home_ + "/.config/tint2");
            std::error_code ec;
            fs::copy_file("/etc/xdg/tint2/tint2rc", home_ + "/.config/tint2/tint2rc", ec);
        }
        log_ = home_ + "/log";
        started_ = Clock::now();
        pid_ = spawn({subject.path},
                     {{"DISPLAY", display},
                      {"HOME", home_},
                      {"XDG_CONFIG_HOME", home_ + "/.config"},
                      {"XDG_CACHE_HOME", home_ + "/.cache"},
                      {"XDG_DATA_HOME", home_ + "/.local/share"},
                      {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home_ + "/no-bus"},
                      {"NO_AT_BRIDGE", "1"}},
                     log_);
    }
    ~Run()
    {
        stop(pid_);
        stop_strays(home_);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    pid_t pid() const { return pid_; }
    Clock::time_point started() const { return started_; }
    bool running() { return alive(pid_); }
    std::string log() const { return read_file(log_); }

private:
    static inline int counter_ = 0;
    std::string home_;
    std::string log_;
    pid_t pid_ = -1;
    Clock::time_point started_;
};

// Waits for the subject's bar to be mapped and painted; returns it with the

// ---- Results --------------------------------------------------------------------

// name -> metric -> value; a missing value is shown as "-".
using Results = std::map<std::string, std::map<std::string, double>>;

inline double median(std::vector<double> v)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::optional<std::string> find_in_path(const std::string& name);
