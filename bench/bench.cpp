// Measures the panel builds, and any peer task bars that are installed, under
// one scripted workload on private Xvfb servers: start-up, idle cost, cost of
// a client-list change as the number of windows grows, X traffic, memory.
// Prints a table and writes the figures as JSON. See docs/performance.md.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <fcntl.h>
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

namespace {

// ---- Settings ---------------------------------------------------------------

struct Settings {
    bool quick = false;
    bool keep = false;  // leave the scratch directory (logs, traces) in place
    std::string build_dir;
    std::string out_path;
    std::vector<std::string> only;  // subject names; empty: all available
    int startup_runs = 5;
    int idle_seconds = 60;
    int churn_changes = 20;
    std::vector<int> churn_sizes{50, 200, 500};
    int traffic_windows = 10;
    int traffic_repaints = 5;
    int idle_windows = 50;
    int tray_icons = 5;
};

const int SCREEN_W = 1024;
const int SCREEN_H = 768;

double seconds_since(Clock::time_point t)
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
            const std::string& log, int keep_fd = -1)
{
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (auto& [k, v] : env)
            setenv(k.c_str(), v.c_str(), 1);
        int out = open(log.empty() ? "/dev/null" : log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keep_fd)
                close(fd);
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

bool alive(pid_t pid)
{
    int status;
    return pid > 0 && waitpid(pid, &status, WNOHANG) == 0;
}

// SIGTERM, then SIGKILL after `grace`; always reaps.
void stop(pid_t& pid, std::chrono::milliseconds grace = 3000ms)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    auto until = Clock::now() + grace;
    int status;
    while (Clock::now() < until) {
        if (waitpid(pid, &status, WNOHANG) != 0) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid = -1;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// True while the process exists and is not a zombie.
bool process_running(pid_t pid)
{
    // The name is in parentheses and may hold blanks; the state follows it.
    const std::string text = read_file("/proc/" + std::to_string(pid) + "/stat");
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

// Stops whatever a program left running in its run's HOME: lxpanel starts a
// menu cache daemon that detaches itself and would outlive the run.
void stop_strays(const std::string& home)
{
    const std::string marker = "HOME=" + home + std::string(1, '\0');
    std::vector<pid_t> strays;
    std::error_code ec;
    for (auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = std::atoi(name.c_str());
        if (pid == getpid())
            continue;
        const std::string environ = std::string(1, '\0') + read_file(entry.path() / "environ");
        if (environ.find(std::string(1, '\0') + marker) != std::string::npos && process_running(pid)) {
            kill(pid, SIGTERM);
            strays.push_back(pid);
        }
    }
    auto deadline = Clock::now() + 2s;
    for (pid_t pid : strays) {
        while (process_running(pid) && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        if (process_running(pid))
            kill(pid, SIGKILL);
    }
}

// CPU time (ns) and context switches of every live thread of a process.
struct CpuSample {
    double cpu_ns = 0;
    long switches = 0;
    bool ok = false;
};

CpuSample sample_cpu(pid_t pid)
{
    CpuSample s;
    std::error_code ec;
    for (auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::istringstream sched(read_file(task.path() / "schedstat"));
        double run_ns = 0;
        if (sched >> run_ns)
            s.cpu_ns += run_ns;
        std::istringstream status(read_file(task.path() / "status"));
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                s.switches += std::atol(line.substr(line.find(':') + 1).c_str());
        }
        s.ok = true;
    }
    return s;
}

struct Memory {
    long rss_kib = 0;
    long pss_kib = 0;
    long private_dirty_kib = 0;
};

Memory sample_memory(pid_t pid)
{
    Memory m;
    std::istringstream in(read_file("/proc/" + std::to_string(pid) + "/smaps_rollup"));
    std::string key;
    long value;
    std::string unit;
    while (in >> key) {
        if (key == "Rss:" && in >> value >> unit)
            m.rss_kib = value;
        else if (key == "Pss:" && in >> value >> unit)
            m.pss_kib = value;
        else if (key == "Private_Dirty:" && in >> value >> unit)
            m.private_dirty_kib = value;
    }
    return m;
}

// Waits until the process has used no CPU for `quiet` (sampled every 10 ms),
// at most `limit`. Returns whether it went quiet.
bool wait_quiet(pid_t pid, std::chrono::milliseconds quiet = 80ms,
                std::chrono::milliseconds limit = 10000ms)
{
    auto deadline = Clock::now() + limit;
    double last = sample_cpu(pid).cpu_ns;
    auto quiet_since = Clock::now();
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        double now = sample_cpu(pid).cpu_ns;
        // A poll timer costs some microseconds; that is not work.
        if (now - last > 50'000)
            quiet_since = Clock::now();
        last = now;
        if (Clock::now() - quiet_since >= quiet)
            return true;
    }
    return false;
}

// ---- The X server -----------------------------------------------------------

struct Server {
    pid_t pid = -1;
    std::string display;  // ":N"

    explicit Server(const std::string& log)
    {
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe failed");
        pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-noreset", "-screen", "0",
                     std::to_string(SCREEN_W) + "x" + std::to_string(SCREEN_H) + "x24"},
                    {}, log, fds[1]);
        close(fds[1]);
        std::string number;
        char c;
        auto deadline = Clock::now() + 20s;
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        while (Clock::now() < deadline) {
            ssize_t n = read(fds[0], &c, 1);
            if (n == 1) {
                if (c == '\n')
                    break;
                number += c;
            } else if (n == 0) {
                break;
            } else {
                std::this_thread::sleep_for(5ms);
            }
        }
        close(fds[0]);
        if (number.empty()) {
            stop(pid);
            throw std::runtime_error("Xvfb did not start");
        }
        display = ":" + number;
    }
    ~Server() { stop(pid); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
};

int ignore_errors(Display*, XErrorEvent*) { return 0; }

// ---- The scripted window manager ---------------------------------------------

// Publishes what a window manager would (both the GNOME and the EWMH
// hints, so that every bar measured reads the same desktop), and creates,
// lists and destroys client windows.
class Driver {
public:
    explicit Driver(const std::string& display)
    {
        dpy_ = XOpenDisplay(display.c_str());
        if (!dpy_)
            throw std::runtime_error("cannot connect to " + display);
        root_ = DefaultRootWindow(dpy_);
        check_ = XCreateSimpleWindow(dpy_, root_, -10, -10, 1, 1, 0, 0, 0);
        set_window(root_, "_NET_SUPPORTING_WM_CHECK", check_);
        set_window(check_, "_NET_SUPPORTING_WM_CHECK", check_);
        set_utf8(check_, "_NET_WM_NAME", "bench-wm");
        const char* supported[] = {"_NET_SUPPORTED", "_NET_CLIENT_LIST", "_NET_NUMBER_OF_DESKTOPS",
                                   "_NET_CURRENT_DESKTOP", "_NET_WM_DESKTOP", "_NET_ACTIVE_WINDOW",
                                   "_NET_WM_NAME", "_NET_WM_WINDOW_TYPE", "_NET_SUPPORTING_WM_CHECK"};
        std::vector<long> atoms;
        for (auto name : supported)
            atoms.push_back(static_cast<long>(atom(name)));
        XChangeProperty(dpy_, root_, atom("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(atoms.data()), static_cast<int>(atoms.size()));
        set_cardinal(root_, "_NET_NUMBER_OF_DESKTOPS", 4);
        set_cardinal(root_, "_WIN_WORKSPACE_COUNT", 4);
        set_cardinal(root_, "_NET_CURRENT_DESKTOP", 0);
        set_cardinal(root_, "_WIN_WORKSPACE", 0);
        set_window(root_, "_NET_ACTIVE_WINDOW", None);
        XSync(dpy_, False);
    }
    ~Driver()
    {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    Display* display() const { return dpy_; }
    Window root() const { return root_; }

    Atom atom(const char* name)
    {
        auto it = atoms_.find(name);
        if (it != atoms_.end())
            return it->second;
        return atoms_[name] = XInternAtom(dpy_, name, False);
    }

    // A mapped client window on desktop 0, named like a real one.
    Window add_client()
    {
        const int i = serial_++;
        Window w = XCreateSimpleWindow(dpy_, root_, 20 + (i * 37) % 800, 20 + (i * 53) % 520, 120, 60, 1,
                                       BlackPixel(dpy_, 0), WhitePixel(dpy_, 0));
        std::string name = "window " + std::to_string(i);
        XStoreName(dpy_, w, name.c_str());
        set_utf8(w, "_NET_WM_NAME", name);
        XClassHint cls{const_cast<char*>("bench"), const_cast<char*>("Bench")};
        XSetClassHint(dpy_, w, &cls);
        XWMHints hints{};
        hints.flags = InputHint | StateHint;
        hints.input = True;
        hints.initial_state = NormalState;
        XSetWMHints(dpy_, w, &hints);
        long state[2] = {NormalState, None};
        XChangeProperty(dpy_, w, atom("WM_STATE"), atom("WM_STATE"), 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(state), 2);
        set_cardinal(w, "_NET_WM_DESKTOP", 0);
        set_cardinal(w, "_WIN_WORKSPACE", 0);
        long type = static_cast<long>(atom("_NET_WM_WINDOW_TYPE_NORMAL"));
        XChangeProperty(dpy_, w, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&type), 1);
        XMapWindow(dpy_, w);
        clients_.push_back(w);
        ours_.insert(w);
        return w;
    }

    void remove_last_client()
    {
        if (clients_.empty())
            return;
        Window w = clients_.back();
        clients_.pop_back();
        publish();
        XDestroyWindow(dpy_, w);
        XSync(dpy_, False);
    }

    // The client list, in both conventions, as one change each.
    void publish()
    {
        std::vector<long> ids(clients_.begin(), clients_.end());
        XChangeProperty(dpy_, root_, atom("_NET_CLIENT_LIST"), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(ids.data()), static_cast<int>(ids.size()));
        XChangeProperty(dpy_, root_, atom("_WIN_CLIENT_LIST"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(ids.data()), static_cast<int>(ids.size()));
        XSync(dpy_, False);
    }

    void add_clients(int n)
    {
        for (int i = 0; i < n; ++i)
            add_client();
        publish();
    }

    // Status icons as a toolkit makes them (an _XEMBED_INFO asking to be
    // shown), each asking the screen's tray to take it; true once the tray
    // has taken them all.
    bool dock_icons(int n, std::chrono::milliseconds limit = 10000ms)
    {
        const Atom selection = atom("_NET_SYSTEM_TRAY_S0");
        auto deadline = Clock::now() + limit;
        Window tray = None;
        while ((tray = XGetSelectionOwner(dpy_, selection)) == None && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        if (tray == None)
            return false;
        std::vector<Window> icons;
        for (int i = 0; i < n; ++i) {
            Window w = XCreateSimpleWindow(dpy_, root_, 0, 0, 16, 16, 0, 0, 0xff0000 >> (4 * i));
            long info[2] = {0, 1};
            XChangeProperty(dpy_, w, atom("_XEMBED_INFO"), atom("_XEMBED_INFO"), 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(info), 2);
            XEvent dock{};
            dock.xclient.type = ClientMessage;
            dock.xclient.window = tray;
            dock.xclient.message_type = atom("_NET_SYSTEM_TRAY_OPCODE");
            dock.xclient.format = 32;
            dock.xclient.data.l[2] = static_cast<long>(w);  // l[1] 0: dock
            XSendEvent(dpy_, tray, False, NoEventMask, &dock);
            icons.push_back(w);
            ours_.insert(w);
        }
        XSync(dpy_, False);
        const auto docked = [&] {
            for (Window w : icons) {
                Window root_ret, parent, *children = nullptr;
                unsigned count = 0;
                if (!XQueryTree(dpy_, w, &root_ret, &parent, &children, &count) || parent == root_)
                    return false;
                if (children)
                    XFree(children);
            }
            return true;
        };
        while (!docked() && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return docked();
    }

    bool is_ours(Window w) const { return ours_.count(w) > 0 || w == check_; }
    std::size_t client_count() const { return clients_.size(); }

    // The widest short window on the root that the driver did not make and
    // that the process `pid` owns (any owner when pid is 0).
    std::optional<Window> find_bar(pid_t pid)
    {
        Window root_ret, parent;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(dpy_, root_, &root_ret, &parent, &children, &count))
            return std::nullopt;
        std::optional<Window> best;
        int best_width = 0;
        for (unsigned i = 0; i < count; ++i) {
            Window w = children[i];
            if (is_ours(w))
                continue;
            XWindowAttributes a;
            if (!XGetWindowAttributes(dpy_, w, &a) || a.map_state != IsViewable)
                continue;
            if (a.width < SCREEN_W / 2 || a.height > 64)
                continue;
            if (pid && owner_pid(w) != pid)
                continue;
            if (a.width > best_width) {
                best = w;
                best_width = a.width;
            }
        }
        if (children)
            XFree(children);
        return best;
    }

    pid_t owner_pid(Window w)
    {
        XResClientIdSpec query{w, XRES_CLIENT_ID_PID_MASK};
        long count = 0;
        XResClientIdValue* values = nullptr;
        pid_t pid = -1;
        if (XResQueryClientIds(dpy_, 1, &query, &count, &values) == Success) {
            for (long i = 0; i < count; ++i)
                if (XResGetClientPid(&values[i]) > 0)
                    pid = XResGetClientPid(&values[i]);
            XResClientIdsDestroy(count, values);
        }
        return pid;
    }

    // True once the window shows more than one colour: drawn on, not just
    // cleared to its background.
    bool painted(Window w)
    {
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy_, w, &a) || a.map_state != IsViewable)
            return false;
        XImage* image = XGetImage(dpy_, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
        if (!image)
            return false;
        bool varied = false;
        unsigned long first = XGetPixel(image, 0, 0);
        for (int y = 0; y < a.height && !varied; ++y)
            for (int x = 0; x < a.width; ++x)
                if (XGetPixel(image, x, y) != first) {
                    varied = true;
                    break;
                }
        XDestroyImage(image);
        return varied;
    }

    // Covers the window with another and takes it away again, so that the
    // whole of it is exposed.
    void expose(Window w)
    {
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy_, w, &a))
            return;
        XSetWindowAttributes attrs{};
        attrs.override_redirect = True;
        attrs.background_pixel = BlackPixel(dpy_, 0);
        Window cover = XCreateWindow(dpy_, root_, a.x, a.y, a.width, a.height, 0, CopyFromParent,
                                     InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attrs);
        ours_.insert(cover);
        XMapRaised(dpy_, cover);
        XSync(dpy_, False);
        XDestroyWindow(dpy_, cover);
        XSync(dpy_, False);
    }

private:
    void set_cardinal(Window w, const char* name, long value)
    {
        XChangeProperty(dpy_, w, atom(name), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&value), 1);
    }
    void set_window(Window w, const char* name, Window value)
    {
        long v = static_cast<long>(value);
        XChangeProperty(dpy_, w, atom(name), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&v), 1);
    }
    void set_utf8(Window w, const char* name, const std::string& text)
    {
        XChangeProperty(dpy_, w, atom(name), atom("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    }

    Display* dpy_ = nullptr;
    Window root_ = None;
    Window check_ = None;
    std::map<std::string, Atom> atoms_;
    std::vector<Window> clients_;
    std::set<Window> ours_;
    int serial_ = 0;
};

// ---- Subjects -----------------------------------------------------------------

struct Subject {
    std::string name;
    std::string path;
    bool ours = false;
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
// time from exec.
std::optional<std::pair<Window, double>> wait_for_painted_bar(Driver& driver, Run& run,
                                                              std::chrono::milliseconds limit = 20000ms)
{
    auto deadline = Clock::now() + limit;
    std::optional<Window> bar;
    while (Clock::now() < deadline) {
        if (!bar)
            bar = driver.find_bar(run.pid());
        if (bar && driver.painted(*bar))
            return std::make_pair(*bar, seconds_since(run.started()));
        if (!run.running())
            return std::nullopt;
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

// ---- Results --------------------------------------------------------------------

// name -> metric -> value; a missing value is shown as "-".
using Results = std::map<std::string, std::map<std::string, double>>;

double median(std::vector<double> v)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// ---- Start-up -------------------------------------------------------------------

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

// ---- Idle and memory ------------------------------------------------------------

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

// ---- Churn ----------------------------------------------------------------------

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

// ---- X traffic ------------------------------------------------------------------

struct Traffic {
    long requests = 0;
    long replies = 0;
};

// Counts the requests and the replies (round trips) in an xtrace log.
Traffic count_traffic(const std::string& text)
{
    Traffic t;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        // "NNN:<:SEQ: LEN: Request..." and "NNN:>:SEQ:LEN: Reply to ..."
        auto first = line.find(':');
        if (first == std::string::npos || first + 2 >= line.size())
            continue;
        if (line.compare(first, 3, ":<:") == 0 && line.find(": ", first + 3) != std::string::npos &&
            line.find("Request", first) != std::string::npos)
            ++t.requests;
        else if (line.compare(first, 3, ":>:") == 0 && line.find("Reply to", first) != std::string::npos)
            ++t.replies;
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
            per_window.replies += t.replies;
        }
        Traffic per_repaint;
        for (int i = 0; i < s.traffic_repaints; ++i) {
            auto from = wait_log_quiet(log);
            driver.expose(*bar);
            auto to = wait_log_quiet(log);
            Traffic t = count_traffic(slice(log, from, to));
            per_repaint.requests += t.requests;
            per_repaint.replies += t.replies;
        }
        auto& r = results[subject.name];
        r["requests_per_window"] = double(per_window.requests) / s.traffic_windows;
        r["round_trips_per_window"] = double(per_window.replies) / s.traffic_windows;
        r["requests_per_repaint"] = double(per_repaint.requests) / s.traffic_repaints;
        r["round_trips_per_repaint"] = double(per_repaint.replies) / s.traffic_repaints;
        note("  %-10s per new window %.1f requests, %.1f round trips; per repaint %.1f requests, %.1f round trips",
             subject.name.c_str(), r["requests_per_window"], r["round_trips_per_window"],
             r["requests_per_repaint"], r["round_trips_per_repaint"]);
    }
    stop_proxy();
}

// ---- Report ---------------------------------------------------------------------

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
};

std::string format(double v, int decimals)
{
    if (std::isnan(v))
        return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

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

// A Markdown table, so that docs/performance.md can take it as it is.
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

// The Debian package version of a peer, for the record.
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
        if (!subject.ours)
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

// ---- Main -----------------------------------------------------------------------

std::optional<std::string> find_in_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream in(path ? path : "");
    std::string dir;
    while (std::getline(in, dir, ':')) {
        std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

void usage()
{
    std::fprintf(stderr,
                 "usage: bench [--quick] [--keep] [--build DIR] [--out FILE] [--only NAME,...]\n"
                 "  --quick   shorter idle window (extrapolated to a minute), fewer runs\n"
                 "  --build   the build directory holding bin/panel (default: build)\n"
                 "  --out     where to write the JSON (default: bench/results.json)\n"
                 "  --only    measure only these programs (panel, panel-lite, tint2, lxpanel)\n"
                 "  --keep    keep the programs' output and the X traces, and say where\n");
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
        } else if (a == "--keep") {
            s.keep = true;
        } else if (a == "--build" && i + 1 < argc) {
            s.build_dir = argv[++i];
        } else if (a == "--out" && i + 1 < argc) {
            s.out_path = argv[++i];
        } else if (a == "--only" && i + 1 < argc) {
            std::istringstream in(argv[++i]);
            std::string name;
            while (std::getline(in, name, ','))
                s.only.push_back(name);
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
    note("bench: %s run on%s", s.quick ? "quick" : "full", names.c_str());

    try {
        note("start-up");
        for (auto& subject : subjects)
            measure_startup(s, subject, scratch, results);
        // A program that never showed a painted bar is left out of the rest.
        std::vector<Subject> working;
        for (auto& subject : subjects)
            if (value(results, subject.name, "startup_ms"))
                working.push_back(subject);
        note("idle and memory (%d windows; again with %d tray icons)", s.idle_windows, s.tray_icons);
        measure_idle(s, working, scratch, results);
        note("churn");
        for (int windows : s.churn_sizes)
            for (auto& subject : working)
                measure_churn(s, subject, windows, scratch, results);
        if (find_in_path("xtrace")) {
            note("X traffic (through xtrace)");
            for (auto& subject : working)
                measure_traffic(s, subject, scratch, results);
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
    std::printf("\n%s run, %s, on %s\n", s.quick ? "Quick" : "Full", date, machine_description().c_str());
    for (auto& subject : subjects)
        if (!subject.ours)
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
