// Processes, their CPU and memory, and the private X servers.
#include "bench.hpp"

// fork + exec with extra environment; output to `log` (or /dev/null).
pid_t spawn(const std::vector<std::string>& argv,
            const std::vector<std::pair<std::string, std::string>>& env,
            const std::string& log, int keep_fd)
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
void stop(pid_t& pid, std::chrono::milliseconds grace)
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
bool wait_quiet(pid_t pid, std::chrono::milliseconds quiet, std::chrono::milliseconds limit)
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

Server::Server(const std::string& log)
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

int ignore_errors(Display*, XErrorEvent*) { return 0; }

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

Session::Session(const std::string& scratch, bool openbox) : server(scratch + "/xvfb.log")
{
    if (!openbox)
        return;
    const std::string config = fs::absolute("scripts/lib/openbox/rc.xml").string();
    window_manager = spawn({"openbox", "--sm-disable", "--config-file", config},
                           {{"DISPLAY", server.display}, {"HOME", scratch}}, scratch + "/openbox.log");
    // Ready once it names itself on the root.
    Display* dpy = XOpenDisplay(server.display.c_str());
    if (!dpy)
        throw std::runtime_error("cannot connect to " + server.display);
    const Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    const auto deadline = Clock::now() + 20s;
    bool ready = false;
    while (!ready && Clock::now() < deadline && alive(window_manager)) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type, &format,
                           &items, &after, &data);
        ready = items == 1;
        if (data)
            XFree(data);
        if (!ready)
            std::this_thread::sleep_for(20ms);
    }
    XCloseDisplay(dpy);
    if (!ready)
        throw std::runtime_error("openbox did not start");
}
