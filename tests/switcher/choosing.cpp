// Choosing a window: which row a click picks, what is raised, what the
// program says and how it ends, also when windows vanish under it.
#include "switcher_fixture.hpp"

using namespace switcher_test;

namespace {

class ChoosingTest : public SwitcherTest {
protected:
    // Two overlapping clients, the second on top, listed in that order.
    void SetUp() override
    {
        SwitcherTest::SetUp();
        lower = client("lower", NORMAL, 500, 300);
        upper = client("upper", NORMAL, 520, 320);
        start_switcher();
        ASSERT_TRUE(popup_sized(60, 29));
        // Listed once before a test restacks them: the rows follow the
        // stacking order at the time of listing.
        ASSERT_TRUE(popup_shows({"lower", "upper"}));
    }

    bool is_above(Window a, Window b)
    {
        const auto order = stacking_order(dpy);
        return std::find(order.begin(), order.end(), a) > std::find(order.begin(), order.end(), b);
    }

    // Clicks, and checks the message and the clean end.
    void choose_at(int y, const std::string& message, unsigned button = 1)
    {
        click_inside(y, button);
        EXPECT_EQ(exit_status(), 0);
        EXPECT_EQ(switcher->stderr_text(), message);
        EXPECT_EQ(switcher->stdout_text(), "");
    }

    Window lower = None;
    Window upper = None;
};

}  // namespace

TEST_F(ChoosingTest, a_click_from_the_top_edge_to_y_16_raises_the_first_window)
{
    for (int y : {0, 4, 16}) {
        SCOPED_TRACE("y " + std::to_string(y));
        XRaiseWindow(dpy, upper);
        sync(dpy);
        if (y != 0) {
            start_switcher();
            ASSERT_TRUE(popup_sized(60, 29));
        }
        choose_at(y, "raising 1");
        EXPECT_TRUE(wait_until([&] { return is_above(lower, upper); }));
        EXPECT_FALSE(geometry(dpy, popup)) << "the pop-up outlived the click";
    }
}

TEST_F(ChoosingTest, y_17_chooses_the_second_window_with_any_button)
{
    XRaiseWindow(dpy, lower);
    sync(dpy);
    choose_at(17, "raising 2", 3);
    EXPECT_TRUE(wait_until([&] { return is_above(upper, lower); }));
}

TEST_F(SwitcherTest, choosing_an_iconic_window_maps_it)
{
    const Window hidden = client("hidden", ICONIC);
    start_switcher();
    ASSERT_TRUE(popup_shows({"(hidden)"}));
    click_inside(2, 2);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_TRUE(wait_until([&] { return geometry(dpy, hidden)->viewable(); }));
}

TEST_F(ChoosingTest, a_click_on_the_bottom_border_raises_nothing)
{
    choose_at(29, "raising 3");
    EXPECT_TRUE(is_above(upper, lower));
}

TEST_F(ChoosingTest, a_click_handled_after_the_pointer_left_raises_nothing)
{
    // Held by a grab, the switcher learns where the pointer is only after it
    // has moved on: far above the pop-up, then below it.
    for (const auto& [to_y, message] : {std::pair{0, "raising -12"}, std::pair{700, "raising 46"}}) {
        XGrabServer(dpy);
        click_inside(5);
        move_pointer(dpy, 900, to_y);
        XUngrabServer(dpy);
        sync(dpy);
        EXPECT_EQ(exit_status(), 0);
        EXPECT_EQ(switcher->stderr_text(), message);
        EXPECT_TRUE(is_above(upper, lower));
        start_switcher();
        ASSERT_TRUE(popup_sized(60, 29));
    }
}

TEST_F(ChoosingTest, a_row_listed_only_by_an_earlier_pass_raises_nothing)
{
    // Unmarked, the upper window drops out of the next pass's list.
    wm->set_wm_state(upper, std::nullopt);
    send_expose(dpy, popup);
    ASSERT_TRUE(popup_sized(60, 17));
    XRaiseWindow(dpy, lower);
    sync(dpy);
    XGrabServer(dpy);
    click_inside(2);
    point_inside(17 + 12 / 2);  // where row 2 of the longer, earlier list was
    XUngrabServer(dpy);
    sync(dpy);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(switcher->stderr_text(), "raising 2");
    EXPECT_TRUE(is_above(lower, upper));
}

TEST_F(SwitcherTest, a_click_on_an_empty_list_ends_it_cleanly)
{
    start_switcher();
    ASSERT_TRUE(popup_sized(60, 5));
    click_inside(2);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(switcher->stderr_text(), "raising 1");
}

TEST_F(ChoosingTest, a_window_destroyed_before_the_click_does_not_end_it_with_an_error)
{
    wm->destroy(lower);
    choose_at(2, "raising 1");
}

TEST_F(SwitcherTest, odd_window_states_never_end_it_with_an_error)
{
    const Window empty = client("empty state", std::nullopt);
    wm->set_property(empty, "WM_STATE", "WM_STATE", 32, {});
    const Window bytes = client("byte state", std::nullopt);
    wm->set_property(bytes, "WM_STATE", "STRING", 8, {1});
    client("odd state", 0x7fffffff);
    start_switcher();
    // An empty WM_STATE counts as none; any other state is a client.
    EXPECT_TRUE(popup_shows({"byte state", "(odd state)"}));
    click_inside(2);
    EXPECT_EQ(exit_status(), 0);
    EXPECT_EQ(switcher->stderr_text(), "raising 1");
}
