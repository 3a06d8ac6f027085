// Working the pop-up from the keyboard, and the ways out of it: keys move a
// highlight and choose a row, Escape and a press off the pop-up close it,
// and a keyboard held by another client at start is waited for.
#include "switcher_fixture.hpp"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <thread>

using namespace switcher_test;

namespace {

const std::vector<std::string> LINES = {"first", "second", "third"};

// A key, with Shift held around it or not.
struct Stroke {
    KeySym keysym;
    bool shift = false;
};
const Stroke SHIFT_TAB{XK_Tab, true};

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

    // The clients stacked in list order again, under the cover.
    void restack()
    {
        for (Window window : clients)
            XRaiseWindow(dpy, window);
        XRaiseWindow(dpy, cover);
        sync(dpy);
    }

    // Opens the pop-up and waits until it lists the three, none highlighted.
    void open()
    {
        start_switcher();
        ASSERT_TRUE(popup_sized(60, 41));
        ASSERT_TRUE(popup_shows(LINES));
    }

    void type(const std::vector<Stroke>& strokes)
    {
        for (const Stroke& stroke : strokes) {
            if (stroke.shift)
                press_key(dpy, XK_Shift_L);
            tap_key(dpy, stroke.keysym);
            if (stroke.shift)
                release_key(dpy, XK_Shift_L);
        }
    }

    // The client above the others and the cover, or the cover.
    Window on_top()
    {
        const auto order = stacking_order(dpy);
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            if (*it == cover || std::find(clients.begin(), clients.end(), *it) != clients.end())
                return *it;
        return None;
    }

    // Checks how it ended: status 0, this row message, nothing on standard
    // output, and `raised` on top of the clients (the cover: nothing raised).
    void expect_end(const std::string& message, Window raised)
    {
        EXPECT_EQ(exit_status(), 0);
        EXPECT_EQ(switcher->stderr_text(), message);
        EXPECT_EQ(switcher->stdout_text(), "");
        EXPECT_TRUE(wait_until([&] { return on_top() == raised; }));
    }

    std::vector<Window> clients;
    Window cover = None;
};

}  // namespace

TEST_F(KeysTest, down_down_return_raises_the_second_client_and_says_so)
{
    open();
    EXPECT_TRUE(pointer_grabbed_elsewhere(dpy));
    EXPECT_TRUE(keyboard_grabbed_elsewhere(dpy));
    tap_key(dpy, XK_Down);
    EXPECT_TRUE(popup_shows(LINES, 1));
    tap_key(dpy, XK_Down);
    EXPECT_TRUE(popup_shows(LINES, 2)) << "the first row is not drawn plain again";
    tap_key(dpy, XK_Return);
    expect_end("raising 2", clients[1]);
}

TEST_F(KeysTest, every_way_of_choosing_by_key_raises_its_row_as_a_click_would)
{
    const struct {
        std::vector<Stroke> strokes;
        int row;
    } cases[] = {
        {{{XK_3}}, 3},
        {{{XK_Up}, {XK_Return}}, 3},  // from no highlight, Up goes to the last row
        {{{XK_Tab}, {XK_Tab}, {XK_Tab}, {XK_Tab}, {XK_KP_Enter}}, 1},
        {{SHIFT_TAB, SHIFT_TAB, {XK_Return}}, 2},
        {{{XK_Down}, {XK_Up}, {XK_2}}, 2},  // a digit needs no highlight of its own
    };
    for (const auto& [strokes, row] : cases) {
        SCOPED_TRACE("row " + std::to_string(row) + " after " + std::to_string(strokes.size()) + " keys");
        restack();
        open();
        type(strokes);
        expect_end("raising " + std::to_string(row), clients[row - 1]);
    }
}

TEST_F(KeysTest, keys_that_name_no_row_do_nothing_and_escape_closes_it_saying_nothing)
{
    open();
    // Return without a highlight, digits past the list, keys it does not use.
    type({{XK_Return}, {XK_9}, {XK_4}, {XK_0}, {XK_a}, {XK_F1}, {XK_Left}, {XK_space}});
    EXPECT_TRUE(popup_shows(LINES));
    EXPECT_TRUE(switcher->running());
    tap_key(dpy, XK_Escape);
    expect_end("", cover);
}

TEST_F(SwitcherTest, keys_on_an_empty_list_do_nothing_and_escape_closes_it)
{
    start_switcher();
    ASSERT_TRUE(popup_sized(60, 5));
    for (KeySym keysym : {XK_Down, XK_Up, XK_Tab, XK_Return, XK_1})
        tap_key(dpy, keysym);
    EXPECT_TRUE(popup_shows({}));
    tap_key(dpy, XK_Escape);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(switcher->stderr_text(), "");
}

TEST_F(KeysTest, a_press_off_the_pop_up_closes_it_and_reaches_no_other_window)
{
    // Beneath everything, a window that would take the presses if the
    // pop-up did not hold the pointer.
    const Window bystander = XCreateSimpleWindow(dpy, root, 0, 0, screen_width, screen_height, 0, 0, 0);
    XSelectInput(dpy, bystander, ButtonPressMask);
    XMapWindow(dpy, bystander);
    XLowerWindow(dpy, bystander);
    sync(dpy);
    // Relative to the pop-up's outer top-left corner; it is 62 by 43 with
    // its border, whose pixels belong to it.
    const struct {
        const char* where;
        int x;
        int y;
        std::string message;
        int raised;  // the client raised, -1 for none
    } cases[] = {
        {"left of it", -1, 21, "", -1},
        {"right of it", 62, 21, "", -1},
        {"above it", 30, -1, "", -1},
        {"below it", 30, 43, "", -1},
        {"on its top border", 30, 0, "raising 1", 0},
        {"on its right border", 61, 21, "raising 2", 1},
    };
    for (const auto& [where, x, y, message, raised] : cases) {
        SCOPED_TRACE(where);
        restack();
        open();
        const auto outer = geometry(dpy, popup);
        ASSERT_TRUE(outer);
        ASSERT_EQ(outer->width + 2 * outer->border_width, 62);
        click_at(dpy, outer->x + x, outer->y + y);
        expect_end(message, raised < 0 ? cover : clients[raised]);
        XEvent event;
        EXPECT_FALSE(XCheckTypedWindowEvent(dpy, bystander, ButtonPress, &event));
    }
}

TEST_F(KeysTest, the_highlight_is_drawn_again_when_the_pop_up_is_exposed)
{
    open();
    type({{XK_Down}, {XK_Down}});
    ASSERT_TRUE(popup_shows(LINES, 2));
    // A black window over the pop-up and gone again: the server exposes
    // the pop-up, white, and the pass draws list and highlight anew.
    const auto where = geometry(dpy, popup);
    const Window cover = XCreateSimpleWindow(dpy, root, where->x, where->y, 100, 100, 0, 0,
                                             BlackPixel(dpy, screen));
    XMapRaised(dpy, cover);
    sync(dpy);
    XUnmapWindow(dpy, cover);
    sync(dpy);
    EXPECT_TRUE(popup_shows(LINES, 2));
    tap_key(dpy, XK_Up);
    EXPECT_TRUE(popup_shows(LINES, 1));
}

TEST_F(KeysTest, a_keyboard_held_by_another_client_for_half_a_second_is_waited_for)
{
    // As a hot-key program holds it while the key that started the pop-up is down.
    ASSERT_EQ(XGrabKeyboard(dpy, root, False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    open();
    tap_key(dpy, XK_Down);  // comes to the holder, not to the pop-up
    std::this_thread::sleep_for(500ms);
    XUngrabKeyboard(dpy, CurrentTime);
    sync(dpy);
    ASSERT_TRUE(wait_until([&] { return keyboard_grabbed_elsewhere(dpy); }));
    EXPECT_TRUE(popup_shows(LINES));
    type({{XK_Down}, {XK_Down}, {XK_Return}});
    expect_end("raising 2", clients[1]);
}

TEST_F(KeysTest, a_keyboard_held_past_a_second_leaves_the_pop_up_to_the_pointer)
{
    ASSERT_EQ(XGrabKeyboard(dpy, root, False, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    open();
    // The pop-up asked for the keyboard before it took its size, so it has
    // stopped asking a second after that.
    std::this_thread::sleep_for(1200ms);
    XUngrabKeyboard(dpy, CurrentTime);
    sync(dpy);
    tap_key(dpy, XK_Escape);
    EXPECT_TRUE(popup_shows(LINES));
    click_inside(2);
    expect_end("raising 1", clients[0]);
}

TEST_F(KeysTest, a_highlighted_window_that_vanished_is_chosen_as_a_click_would_choose_it)
{
    open();
    tap_key(dpy, XK_Down);
    wm->destroy(clients[0]);
    tap_key(dpy, XK_Return);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(switcher->stderr_text(), "raising 1");
}

TEST_F(KeysTest, a_flood_of_repeated_keys_is_followed_key_by_key)
{
    open();
    // A held Down repeating 1001 times (a release and a press each time, as
    // the server repeats keys), queued faster than it is read.
    const KeyCode down = XKeysymToKeycode(dpy, XK_Down);
    for (int i = 0; i < 1001; ++i) {
        XTestFakeKeyEvent(dpy, down, True, CurrentTime);
        XTestFakeKeyEvent(dpy, down, False, CurrentTime);
    }
    sync(dpy);
    tap_key(dpy, XK_Return);
    expect_end("raising 2", clients[1]);
}

TEST_F(KeysTest, keys_follow_a_keyboard_map_changed_while_it_is_open)
{
    open();
    const KeyCode escape = XKeysymToKeycode(dpy, XK_Escape);
    const KeyCode tab = XKeysymToKeycode(dpy, XK_Tab);
    const KeyCode f1 = XKeysymToKeycode(dpy, XK_F1);
    // No key gives Tab or Escape any more; then F1's key gives Escape.
    KeySym nothing = NoSymbol;
    XChangeKeyboardMapping(dpy, escape, 1, &nothing, 1);
    XChangeKeyboardMapping(dpy, tab, 1, &nothing, 1);
    sync(dpy);
    for (KeyCode key : {tab, escape}) {
        XTestFakeKeyEvent(dpy, key, True, CurrentTime);
        XTestFakeKeyEvent(dpy, key, False, CurrentTime);
    }
    sync(dpy);
    EXPECT_TRUE(popup_shows(LINES));
    EXPECT_TRUE(switcher->running());
    KeySym escape_sym = XK_Escape;
    XChangeKeyboardMapping(dpy, f1, 1, &escape_sym, 1);
    XTestFakeKeyEvent(dpy, f1, True, CurrentTime);
    XTestFakeKeyEvent(dpy, f1, False, CurrentTime);
    sync(dpy);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(switcher->stderr_text(), "");
}
