// Running a built program as a child process: DISPLAY set, environment and
// PATH adjustable, stdout and stderr captured to files (never a full pipe),
// stopped by its pid.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit_test {

using namespace std::chrono_literals;

// Absolute path of a built program: "panel", "panel-lite" or "switcher".
std::string program_path(std::string_view name);

// A private directory, removed with everything in it by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const;  // path()/name
    // Writes an executable "#!/bin/sh" script `name` with `body`; returns its path.
    std::string write_script(std::string_view name, std::string_view body) const;
    void write_file(std::string_view name, std::string_view content) const;
    // The whole file, or nullopt when it does not exist.
    std::optional<std::string> read_file(std::string_view name) const;

private:
    std::string path_;
};

struct ProgramOptions {
    // DISPLAY for the child; nullopt: inherit this process's DISPLAY (the
    // private server inside XServerTest).
    std::optional<std::string> display;
    bool unset_display = false;
    // Extra or replaced variables; a nullopt value removes the variable.
    std::vector<std::pair<std::string, std::optional<std::string>>> env;
    // Put in front of PATH (where tests put "Start", "calendar", ...).
    std::string path_prepend;
    std::vector<std::string> args;
};

class Program {
public:
    // Starts `path` at once. Throws std::runtime_error when fork fails; an
    // exec failure shows as exit status 127.
    explicit Program(std::string path, ProgramOptions options = {});
    ~Program();  // stop()
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t pid() const { return pid_; }

    // True while the child has not ended (reaps it when it has).
    bool running();

    // The exit status once the child ends within `timeout`; a child ended
    // by a signal gives 128 + the signal number. nullopt: still running.
    std::optional<int> wait_exit(std::chrono::milliseconds timeout = 5s);

    // SIGTERM, then SIGKILL after `grace`; reaps. Idempotent.
    void stop(std::chrono::milliseconds grace = 3s);

    std::string stdout_text() const;
    std::string stderr_text() const;

private:
    bool reap(bool block);

    TempDir output_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

}  // namespace kit_test
