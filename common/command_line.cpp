// The programs' command line: --help, --version, or nothing.
#include "command_line.hpp"

#include <cstdio>

namespace {

constexpr int USAGE_ERROR = 2;

// Prints to standard output; an answer lost on a full disk is a failure.
int print_answer(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace

CommandLine read_command_line(const std::vector<std::string_view>& arguments)
{
    CommandLine line;
    for (std::string_view argument : arguments) {
        CommandLine::Action action = CommandLine::Refuse;
        if (argument == "--help")
            action = CommandLine::Help;
        else if (argument == "--version")
            action = CommandLine::Version;
        if (action == CommandLine::Refuse)
            return {CommandLine::Refuse, std::string(argument)};
        if (line.action == CommandLine::Run)
            line.action = action;
    }
    return line;
}

std::string usage_text(const ProgramText& program)
{
    const std::string name(program.name);
    return "usage: " + name + " [--help | --version]\n" + std::string(program.description) +
           "\n"
           "  --help     show this help and exit\n"
           "  --version  show the version and exit\n"
           "\n"
           "Without options it runs on the display named by DISPLAY. See " + name + "(1).\n";
}

std::string version_text(std::string_view name)
{
    return std::string(name) + " " KIT_VERSION "\n";
}

std::string refusal_text(std::string_view name, std::string_view argument)
{
    std::string shown;
    for (unsigned char byte : argument) {
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        } else {
            shown += static_cast<char>(byte);
        }
    }
    const std::string program(name);
    return program + ": unknown argument '" + shown + "'; see '" + program + " --help'\n";
}

std::optional<int> answer_command_line(int argc, char** argv, const ProgramText& program)
{
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    const CommandLine line = read_command_line(arguments);
    switch (line.action) {
    case CommandLine::Run:
        return std::nullopt;
    case CommandLine::Help:
        return print_answer(usage_text(program));
    case CommandLine::Version:
        return print_answer(version_text(program.name));
    case CommandLine::Refuse:
        std::fputs(refusal_text(program.name, line.refused).c_str(), stderr);
        return USAGE_ERROR;
    }
    return std::nullopt;
}
