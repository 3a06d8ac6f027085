#include "x_server.hpp"

#include "program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace kit_test {

namespace {

std::mutex error_mutex;
std::vector<XErrorRecord> recorded_errors;

int record_x_error(Display*, XErrorEvent* error)
{
    std::lock_guard lock(error_mutex);
    recorded_errors.push_back({error->error_code, error->request_code, error->resourceid});
    return 0;
}

std::string temp_log_path()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kit-xvfb-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error("cannot create the Xvfb log file");
    close(fd);
    return pattern;
}

// Reads the display number that Xvfb writes on the -displayfd descriptor,
// a decimal line; gives up after `timeout` or when the server dies first.
std::optional<std::string> read_display_number(int fd, pid_t pid, std::chrono::milliseconds timeout)
{
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(std::min<long>(left.count(), 100)));
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
        if (ready > 0) {
            char buffer[32];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0)
                text.append(buffer, static_cast<size_t>(n));
            else if (n == 0)
                return std::nullopt;  // the server closed it without a number
        }
        int status;
        if (text.find('\n') == std::string::npos && waitpid(pid, &status, WNOHANG) == pid)
            return std::nullopt;
    }
    text.resize(text.find('\n'));
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return text;
}

std::string find_in_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path && *path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "/usr/bin/" + name;
}

}  // namespace

std::vector<XErrorRecord> take_x_errors()
{
    std::lock_guard lock(error_mutex);
    return std::exchange(recorded_errors, {});
}

void install_recording_error_handler()
{
    XSetErrorHandler(record_x_error);
}

namespace {

// Starts a server that writes its display number on descriptor 3, with its
// output in `log_path` and, when `display` is not empty, DISPLAY set to it.
// Returns its pid and number; the pid alone (to be stopped) on failure.
std::pair<pid_t, std::optional<std::string>> launch_server(const std::string& path,
                                                           std::vector<std::string> args,
                                                           const std::string& log_path,
                                                           const std::string& display)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    // Everything the child needs is built before fork: only
    // async-signal-safe calls may run between fork and exec.
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        if (display.empty() || std::strncmp(*entry, "DISPLAY=", 8) != 0)
            environment.push_back(*entry);
    if (!display.empty())
        environment.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        // No stray server outlives a crashed test.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        const int log = ::open(log_path.c_str(), O_WRONLY | O_APPEND);
        const int null_in = ::open("/dev/null", O_RDONLY);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        if (null_in >= 0)
            dup2(null_in, 0);
        // The display-number descriptor (3) must survive exec; nothing else of ours may.
        if (fds[1] == 3)
            fcntl(3, F_SETFD, 0);
        else
            dup2(fds[1], 3);
        close_range(4, ~0U, 0);
        execve(path.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(fds[1]);
    auto number = read_display_number(fds[0], pid, std::chrono::seconds(20));
    close(fds[0]);
    return {pid, number};
}

}  // namespace

XServer::XServer(ServerOptions options) : options_(std::move(options))
{
    XInitThreads();  // the scripted window manager serves its connection on a thread
    log_path_ = temp_log_path();

    const std::string screen = std::to_string(options_.width) + "x" + std::to_string(options_.height) +
                               "x" + std::to_string(options_.depth);
    // -noreset: the server keeps its state (root properties, fonts) when its
    // last client goes, and never refuses a connection while resetting.
    std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp",
                                      "-noreset", "-screen", "0", screen};
    if (!options_.font_path.empty()) {
        args.push_back("-fp");
        args.push_back(options_.font_path);
    }
    const auto [pid, number] = launch_server(find_in_path("Xvfb"), args, log_path_, {});
    pid_ = pid;
    if (!number) {
        stop();
        throw std::runtime_error("Xvfb did not start: " + log());
    }
    display_name_ = ":" + *number;
    if (options_.nested_xephyr.empty())
        return;

    std::vector<std::string> nested = {"Xephyr", "-displayfd", "3", "-nolisten", "tcp", "-noreset"};
    nested.insert(nested.end(), options_.nested_xephyr.begin(), options_.nested_xephyr.end());
    const auto [nested_pid, nested_number] =
        launch_server(find_in_path("Xephyr"), nested, log_path_, display_name_);
    nested_pid_ = nested_pid;
    if (!nested_number) {
        stop();
        throw std::runtime_error("Xephyr did not start: " + log());
    }
    display_name_ = ":" + *nested_number;
}

XServer::~XServer()
{
    stop();
    if (!log_path_.empty())
        unlink(log_path_.c_str());
}

Display* XServer::open() const
{
    return XOpenDisplay(display_name_.c_str());
}

namespace {

void stop_process(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        int status;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD))
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid = -1;
}

}  // namespace

void XServer::stop()
{
    stop_process(nested_pid_);
    stop_process(pid_);
}

std::string XServer::log() const
{
    std::ifstream in(log_path_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void XServerTest::SetUp()
{
    server_ = std::make_unique<XServer>(server_options());
    setenv("DISPLAY", server_->display_name().c_str(), 1);
    install_recording_error_handler();
    dpy = server_->open();
    ASSERT_NE(dpy, nullptr) << "cannot connect to " << server_->display_name();
    screen = DefaultScreen(dpy);
    root = RootWindow(dpy, screen);
    screen_width = DisplayWidth(dpy, screen);
    screen_height = DisplayHeight(dpy, screen);
}

void XServerTest::TearDown()
{
    // A server the test stopped itself cannot take the closing round trip
    // (Xlib would end the process).
    if (dpy && server_ && server_->pid() > 0)
        XCloseDisplay(dpy);
    dpy = nullptr;
    if (server_)
        server_->stop();
    server_.reset();
    unsetenv("DISPLAY");
    take_x_errors();
}

}  // namespace kit_test
