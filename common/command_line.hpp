// The programs' command line: --help, --version, or nothing; anything else is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a program is to do, read from its arguments (argv without argv[0]).
struct CommandLine {
    enum Action { Run, Help, Version, Refuse };
    Action action = Run;
    std::string refused;  // the first argument it does not know, for Refuse

    bool operator==(const CommandLine&) const = default;
};

// The first unknown argument refuses the whole line; otherwise the first of
// --help and --version decides; no arguments run the program.
CommandLine read_command_line(const std::vector<std::string_view>& arguments);

// What a program tells about itself: its name and the lines that describe it.
struct ProgramText {
    std::string_view name;
    std::string_view description;  // lines, each ending in '\n'
};

std::string usage_text(const ProgramText& program);
std::string version_text(std::string_view name);  // "name 1.2.3\n"
// One line naming the argument, with control bytes written as \xNN so that
// it stays one line and sends the terminal nothing.
std::string refusal_text(std::string_view name, std::string_view argument);

// Reads argv and prints what it asks for: usage or version on standard
// output, a refusal on standard error. Returns the exit status (0 or 2), or
// nullopt when the program is to run.
std::optional<int> answer_command_line(int argc, char** argv, const ProgramText& program);
