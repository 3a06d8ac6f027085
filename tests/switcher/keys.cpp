// Working the pop-up from the keyboard, and the ways out of it: keys move a
// highlight and choose a row, Escape and a press off the pop-up close it.
#include "switcher_fixture.hpp"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <thread>

using namespace switcher_test;

namespace {

const std::vector<std::string> LINES = {"first", "second", "third"};

class KeysTest : public SwitcherTest {
protected:
    // Three clients away from the pop-up, listed in this order, under a
    // window that is not listed, so that a raise of any of them shows.
    void SetUp() override
    {
        SwitcherTest::SetUp();
        for (int i = 0; i < 3; ++i)
            clients.push_back(client(LINES[i], NORMAL, 500 + 20 * i, 300 + 20 * i));
        cover = XCreateSimpleWindow(dpy, root, 480, 280, 300, 200, 0, 0, 0);
        XMapWindow(dpy, cover);
        sync(dpy);
    }

    // It ended with status 0 and this message, and this window is on top
    // of the clients and the cover.
    void expect_end(const std::string& message, Window on_top)
    {
        EXPECT_EQ(exit_status(), 0);
        EXPECT_EQ(switcher->stderr_text(), message);
        EXPECT_EQ(switcher->stdout_text(), "");
        EXPECT_TRUE(wait_until([&] {
            const auto order = stacking_order(dpy);
            const auto ours = [&](Window w) { return w == cover || std::count(clients.begin(), clients.end(), w); };
            return *std::find_if(order.rbegin(), order.rend(), ours) == on_top;
        }));
    }

    std::vector<Window> clients;
    Window cover = None;
};

}  // namespace

TEST_F(KeysTest, down_down_return_raises_the_second_client_once_another_lets_go_of_the_keyboard)
{
    // Held as a hot-key program holds it while its key is down.
    ASSERT_EQ(XGrabKeyboard(dpy, root, False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    start_switcher();
    ASSERT_TRUE(popup_sized(60, 41));
    tap_key(dpy, XK_Down);  // comes to the holder
    std::this_thread::sleep_for(500ms);
    XUngrabKeyboard(dpy, CurrentTime);
    ASSERT_TRUE(wait_until([&] { return keyboard_grabbed_elsewhere(dpy); }));
    EXPECT_TRUE(popup_shows(LINES));
    tap_key(dpy, XK_Down);
    tap_key(dpy, XK_Down);
    EXPECT_TRUE(popup_shows(LINES, 2));
    // Covered by a black window and exposed again: drawn anew, highlight and all.
    const auto where = geometry(dpy, popup);
    const Window over = XCreateSimpleWindow(dpy, root, where->x, where->y, 100, 100, 0, 0, 0);
    XMapRaised(dpy, over);
    XUnmapWindow(dpy, over);
    EXPECT_TRUE(popup_shows(LINES, 2));
    tap_key(dpy, XK_Return);
    expect_end("raising 2", clients[1]);
}

TEST_F(KeysTest, keys_and_presses_that_choose_close_or_do_nothing)
{
    std::vector<KeySym> flood(1001, XK_Down);  // queued at once, as a held key repeats
    flood.push_back(XK_Return);
    const struct {
        const char* what;
        std::vector<KeySym> keys;
        std::optional<std::pair<int, int>> press;  // from the pop-up's outer corner
        std::string message;
        Window on_top;
    } cases[] = {
        {"a digit", {XK_3}, {}, "raising 3", clients[2]},
        {"keys naming no row, then Escape", {XK_Return, XK_9, XK_0, XK_a, XK_Escape}, {}, "", cover},
        {"1001 Downs and Return", flood, {}, "raising 2", clients[1]},
        {"a press left of it", {}, {{-1, 21}}, "", cover},
        {"a press on its top border", {}, {{30, 0}}, "raising 1", clients[0]},
    };
    for (const auto& [what, keys, press, message, on_top] : cases) {
        SCOPED_TRACE(what);
        for (Window window : clients)
            XRaiseWindow(dpy, window);
        XRaiseWindow(dpy, cover);
        start_switcher();
        ASSERT_TRUE(popup_sized(60, 41));
        for (KeySym key : keys) {
            XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, key), True, CurrentTime);
            XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, key), False, CurrentTime);
        }
        if (const auto outer = geometry(dpy, popup); press)
            click_at(dpy, outer->x + press->first, outer->y + press->second);
        sync(dpy);
        expect_end(message, on_top);
    }
}
