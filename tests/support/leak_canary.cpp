// Built and run only in the sanitizer build: a real leak in a test that runs
// a server, a scripted window manager and a program must still be reported,
// and nothing else in such a test may be (see tests/CMakeLists.txt).
#include "kit_test.hpp"

#include <cstdlib>

using namespace kit_test;

class LeakCanary : public XServerTest {};

TEST_F(LeakCanary, leaks_exactly_one_allocation)
{
    ScriptedWm wm;
    wm.create_client();
    Program panel(program_path("panel"));
    ASSERT_TRUE(wait_for_panel_window(dpy));
    char* volatile leaked = static_cast<char*>(std::malloc(4242));
    leaked[0] = 1;
}
