// The programs' command line, without a server: what an argument list asks
// for, and the line that refuses one.
#include "command_line.hpp"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, arguments_decide_what_the_program_does)
{
    const CommandLine run{CommandLine::Run, ""}, help{CommandLine::Help, ""},
        version{CommandLine::Version, ""};
    const auto refuse = [](const char* argument) { return CommandLine{CommandLine::Refuse, argument}; };
    const struct {
        std::vector<std::string_view> arguments;
        CommandLine line;
    } cases[] = {
        {{}, run},
        {{"--help"}, help},
        {{"--version"}, version},
        {{"--version", "--help"}, version},
        {{"--help", "--help"}, help},
        // One unknown argument refuses the whole line, wherever it stands.
        {{"--help", "--bogus"}, refuse("--bogus")},
        {{"--bogus", "--other"}, refuse("--bogus")},
        {{"-h"}, refuse("-h")},
        {{"--help=yes"}, refuse("--help=yes")},
        {{"--"}, refuse("--")},
        {{""}, refuse("")},
        {{"version"}, refuse("version")},
    };
    for (const auto& [arguments, line] : cases)
        EXPECT_EQ(read_command_line(arguments), line) << arguments.size() << " arguments";
}

TEST(CommandLine, refusal_is_one_line_naming_the_argument)
{
    EXPECT_EQ(refusal_text("panel", "--bogus"), "panel: unknown argument '--bogus'; see 'panel --help'\n");
    // Newlines and escape sequences are shown, not sent to the terminal.
    EXPECT_EQ(refusal_text("switcher", "a\nb\x1b[2J\x7f"),
              "switcher: unknown argument 'a\\x0ab\\x1b[2J\\x7f'; see 'switcher --help'\n");
    EXPECT_EQ(refusal_text("panel", "caf\xc3\xa9"), "panel: unknown argument 'caf\xc3\xa9'; see 'panel --help'\n");
}

}  // namespace
