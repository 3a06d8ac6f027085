// Starting the panel programs: with no display, with arguments, on a plain
// server, and on a server that has only the built-in fonts.
#include "kit_test.hpp"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kit_test;

namespace {

const char* const PANEL_PROGRAMS[] = {"panel", "panel-lite"};

}  // namespace

TEST(StartupWithoutDisplay, exits_quietly_with_status_zero)
{
    // Unset, and naming a display that nobody serves.
    const ProgramOptions environments[] = {
        {.unset_display = true},
        {.display = std::string(":65001")},
    };
    for (const char* name : PANEL_PROGRAMS) {
        for (const auto& environment : environments) {
            SCOPED_TRACE(std::string(name) + " with DISPLAY " +
                         (environment.unset_display ? "unset" : *environment.display));
            Program program(program_path(name), environment);
            EXPECT_EQ(program.wait_exit(10s), 0);
            EXPECT_EQ(program.stdout_text(), "");
            EXPECT_EQ(program.stderr_text(), "");
        }
    }
}

TEST(StartupWithArguments, help_and_version_answer_and_anything_else_is_refused_before_the_display)
{
    // DISPLAY unset: a program that went on to open the display would exit
    // 0 (the panels) or say so on standard output (the switcher).
    for (const char* name : {"panel", "panel-lite", "switcher"}) {
        const std::string program_name = name;
        const struct {
            const char* argument;
            int status;
            std::string out;  // the whole of standard output, or its start for --help
            std::string err;
        } cases[] = {
            {"--help", 0, "usage: " + program_name + " [--help | --version]\n", ""},
            {"--version", 0, program_name + " " KIT_VERSION "\n", ""},
            {"--bogus", 2, "",
             program_name + ": unknown argument '--bogus'; see '" + program_name + " --help'\n"},
        };
        for (const auto& [argument, status, out, err] : cases) {
            SCOPED_TRACE(program_name + " " + argument);
            Program program(program_path(name), {.unset_display = true, .args = {argument}});
            EXPECT_EQ(program.wait_exit(10s), status);
            const std::string printed = program.stdout_text();
            EXPECT_EQ(std::string_view(argument) == "--help" ? printed.substr(0, out.size()) : printed, out);
            EXPECT_EQ(program.stderr_text(), err);
        }
    }
}

class StartupOnServer : public XServerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(StartupOnServer, the_bar_comes_up_at_the_bottom_edge_and_stays_up)
{
    Program program(program_path(GetParam()));
    const auto bar = wait_for_panel_window(dpy);
    ASSERT_TRUE(bar) << program.stderr_text();

    const auto where = geometry(dpy, *bar);
    ASSERT_TRUE(where);
    EXPECT_EQ(where->x, 0);
    EXPECT_EQ(where->y, 744);
    EXPECT_EQ(where->width, 1024);
    EXPECT_EQ(where->height, 24);
    EXPECT_EQ(where->border_width, 0);

    // It sleeps in its loop rather than ending; the only bar is this one.
    EXPECT_FALSE(program.wait_exit(300ms));
    int bars = 0;
    for (Window window : stacking_order(dpy))
        bars += property32(dpy, window, "_WIN_LAYER").has_value();
    EXPECT_EQ(bars, 1);
    EXPECT_EQ(program.stdout_text(), "");
    EXPECT_EQ(program.stderr_text(), "");
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, StartupOnServer, ::testing::ValuesIn(PANEL_PROGRAMS),
                         [](const auto& info) {
                             return std::string(info.param) == "panel" ? "panel" : "panel_lite";
                         });

class StartupWithBuiltInFonts : public XServerTest {
protected:
    ServerOptions server_options() const override { return {.font_path = "built-ins"}; }
};

TEST_F(StartupWithBuiltInFonts, the_bar_comes_up_in_the_fallback_font)
{
    // The server knows no font of the bar's own pattern, only "fixed".
    int count = 0;
    char** names = XListFonts(dpy, "-*-lucida*-m*-r-*-*-12-*-*", 1, &count);
    if (names)
        XFreeFontNames(names);
    ASSERT_EQ(count, 0);

    Program program(program_path("panel"));
    const auto bar = wait_for_panel_window(dpy);
    ASSERT_TRUE(bar) << program.stderr_text();
    EXPECT_TRUE(program.running());
    // The panel holds one font, and it can only be "fixed".
    const auto resources = client_resources(dpy, *bar);
    ASSERT_TRUE(resources);
    EXPECT_EQ(resources->fonts, 1);
    EXPECT_EQ(program.stderr_text(), "");
}

class StartupWithoutAnyFont : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        // A font directory with no fonts: not even "fixed" can be opened.
        fonts_.write_file("fonts.dir", "0\n");
        const std::string dir = fonts_.path() + "/";
        char* path[] = {const_cast<char*>(dir.c_str())};
        XSetFontPath(dpy, path, 1);
        sync(dpy);
        ASSERT_TRUE(take_x_errors().empty());
    }

    TempDir fonts_;
};

TEST_F(StartupWithoutAnyFont, says_which_font_is_missing_and_exits_with_status_one)
{
    int count = 0;
    char** names = XListFonts(dpy, "fixed", 1, &count);
    if (names)
        XFreeFontNames(names);
    ASSERT_EQ(count, 0);

    for (const char* name : PANEL_PROGRAMS) {
        SCOPED_TRACE(name);
        Program program(program_path(name));
        EXPECT_EQ(program.wait_exit(10s), 1);
        const std::string said = program.stderr_text();
        EXPECT_NE(said.find("\"fixed\""), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(program.stdout_text(), "");
        EXPECT_FALSE(find_panel_window(dpy));
    }
}
