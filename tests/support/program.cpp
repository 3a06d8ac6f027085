#include "program.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kit_test {

namespace {

std::optional<std::string> slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The child's environment: ours, edited as the options say.
std::vector<std::string> child_environment(const ProgramOptions& options)
{
    std::vector<std::pair<std::string, std::string>> vars;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto eq = text.find('=');
        if (eq != std::string::npos)
            vars.emplace_back(text.substr(0, eq), text.substr(eq + 1));
    }
    auto assign = [&vars](const std::string& name, const std::optional<std::string>& value) {
        std::erase_if(vars, [&name](const auto& var) { return var.first == name; });
        if (value)
            vars.emplace_back(name, *value);
    };
    if (options.unset_display)
        assign("DISPLAY", std::nullopt);
    else if (options.display)
        assign("DISPLAY", options.display);
    if (!options.path_prepend.empty()) {
        const char* path = std::getenv("PATH");
        assign("PATH", options.path_prepend + ":" + (path ? path : "/usr/bin:/bin"));
    }
    for (const auto& [name, value] : options.env)
        assign(name, value);

    std::vector<std::string> result;
    for (const auto& [name, value] : vars)
        result.push_back(name + "=" + value);
    return result;
}

// In the sanitizer build a report ends the program (or, for leaks, comes at
// its exit); whatever the test itself checks, the report fails it.
void fail_on_sanitizer_report(pid_t pid, const std::string& err)
{
    for (const char* marker : {"Sanitizer:", "runtime error:"}) {
        if (err.find(marker) != std::string::npos) {
            ADD_FAILURE() << "program " << pid << " ended with a sanitizer report:\n" << err;
            return;
        }
    }
}

}  // namespace

std::string program_path(std::string_view name)
{
    if (name == "panel")
        return KIT_PANEL_PATH;
    if (name == "panel-lite")
        return KIT_PANEL_LITE_PATH;
    if (name == "switcher")
        return KIT_SWITCHER_PATH;
    throw std::invalid_argument("no such program: " + std::string(name));
}

// ---- TempDir ------------------------------------------------------------------

TempDir::TempDir()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kit-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(std::string_view name) const
{
    return path_ + "/" + std::string(name);
}

void TempDir::write_file(std::string_view name, std::string_view content) const
{
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out << content;
}

std::string TempDir::write_script(std::string_view name, std::string_view body) const
{
    const std::string path = file(name);
    write_file(name, "#!/bin/sh\n" + std::string(body) + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

std::optional<std::string> TempDir::read_file(std::string_view name) const
{
    return slurp(file(name));
}

// ---- Program ------------------------------------------------------------------

Program::Program(std::string path, ProgramOptions options)
{
    // Built before fork: only async-signal-safe calls run in the child.
    std::vector<std::string> env = child_environment(options);
    std::vector<char*> envp;
    for (auto& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {path};
    args.insert(args.end(), options.args.begin(), options.args.end());
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string out_path = output_.file("stdout");
    const std::string err_path = output_.file("stderr");
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A crashed test leaves no program behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(1);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0)
            _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        // Nothing of the test's (X connections, pipes) leaks into the program.
        close_range(3, ~0U, 0);
        signal(SIGPIPE, SIG_DFL);
        signal(SIGCHLD, SIG_DFL);
        // The test's own signal dispositions and mask must not leak into the program.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    pid_ = pid;
}

Program::~Program()
{
    stop();
}

bool Program::reap(bool block)
{
    if (status_)
        return true;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done != pid_)
        return false;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    fail_on_sanitizer_report(pid_, stderr_text());
    return true;
}

bool Program::running()
{
    return pid_ > 0 && !reap(false);
}

std::optional<int> Program::wait_exit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
}

void Program::stop(std::chrono::milliseconds grace)
{
    if (pid_ <= 0 || status_)
        return;
    kill(pid_, SIGTERM);
    if (!wait_exit(grace)) {
        kill(pid_, SIGKILL);
        reap(true);
    }
}

std::string Program::stdout_text() const
{
    return slurp(output_.file("stdout")).value_or("");
}

std::string Program::stderr_text() const
{
    return slurp(output_.file("stderr")).value_or("");
}

}  // namespace kit_test
