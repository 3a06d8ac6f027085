// The panel and the switcher under a window manager that publishes the
// older desktop hints as well as the EWMH ones (AfterStep, with the
// configuration the demo uses) and real clients (xterm, xclock, xeyes).
#include "real_desktop.hpp"

#include <cstdio>

using namespace kit_test;

namespace {

class AfterStepDesktop : public RealDesktop {
protected:
    // Runs one of AfterStep's own functions on a window, through its
    // command interface.
    void window_manager_command(Window window, const std::string& function)
    {
        ProgramOptions o = options();
        char id[32];
        std::snprintf(id, sizeof id, "0x%lx", window);
        o.args = {"-w", id, function};
        Program command("/usr/bin/ascommand", o);
        EXPECT_EQ(command.wait_exit(SLOW), 0) << command.stderr_text();
    }

    // Client messages to the root, as the window manager receives them
    // (the test's connection selects SubstructureNotify on the root).
    void discard_root_messages()
    {
        sync(dpy);
        XEvent event;
        while (XCheckTypedEvent(dpy, ClientMessage, &event)) {
        }
    }

    bool wait_for_root_message(const char* type, Window window, long first)
    {
        const Atom wanted = atom(dpy, type);
        bool seen = false;
        wait_until(
            [&] {
                XEvent event;
                while (XCheckTypedEvent(dpy, ClientMessage, &event))
                    seen = seen || (event.xclient.message_type == wanted && event.xclient.window == window &&
                                    event.xclient.data.l[0] == first);
                return seen;
            },
            SLOW);
        return seen;
    }

};

TEST_P(AfterStepDesktop, each_client_on_the_current_desktop_gets_one_button)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    // Three buttons, each in its own slot, nothing after the third.
    for (Window client : {xterm_, xclock_, xeyes_}) {
        const int slot = slot_of(client);
        ASSERT_GE(slot, 0);
        EXPECT_LT(slot, 3);
        EXPECT_TRUE(looks_normal(slot)) << "slot " << slot;
    }
    EXPECT_EQ(count_in_title(3, PanelColor::Ink), 0);
    EXPECT_TRUE(desk_looks_current(0));

    // AfterStep switches desks on its own request: the bar empties, shows
    // a window started there, and comes back to the three.
    ask_window_manager_for_desk(1);
    ASSERT_TRUE(wait_until([&] { return root_cardinal("_WIN_WORKSPACE") == 1; }, SLOW));
    EXPECT_TRUE(wait_until([&] { return titled_buttons() == 0 && desk_looks_current(1); }, SLOW));
    const Window other = start_client("/usr/bin/xlogo", {"-geometry", "100x100+500+100"}, "xlogo");
    ASSERT_NE(other, None);
    EXPECT_TRUE(wait_until([&] { return titled_buttons() == 1 && looks_normal(0); }, SLOW));

    ask_window_manager_for_desk(0);
    EXPECT_TRUE(wait_until([&] { return titled_buttons() == 3 && desk_looks_current(0); }, SLOW))
        << "the bar shows " << titled_buttons() << " titled buttons";
}

TEST_P(AfterStepDesktop, clicks_focus_and_raise_then_minimise_then_restore_the_client)
{
    XSelectInput(dpy, root, SubstructureNotifyMask);  // to see the iconify request
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    const int slot = slot_of(xterm_);
    ASSERT_GE(slot, 0);
    const int middle = button_left(slot) + BUTTON_WIDTH / 2;
    // Start from a focus elsewhere, so the first click raises and focuses.
    XSetInputFocus(dpy, xeyes_, RevertToPointerRoot, CurrentTime);
    sync(dpy);
    ASSERT_TRUE(wait_until([&] { return !looks_pressed(slot); }, SLOW));

    click_bar(middle);
    EXPECT_TRUE(wait_until([&] { return focused_window(dpy) == xterm_; }, SLOW))
        << "focus is on " << focused_window(dpy);
    EXPECT_TRUE(wait_until([&] { return raised_above_others(xterm_, {xclock_, xeyes_}); }, SLOW));
    EXPECT_TRUE(wait_until([&] { return looks_pressed(slot); }, SLOW));

    // The second click asks the window manager to iconify the window. AfterStep
    // 2.2 ignores that request (WM_CHANGE_STATE), so it is iconified here the
    // way AfterStep itself does it; its WM_STATE keeps the minimised look.
    discard_root_messages();
    click_bar(middle);
    EXPECT_TRUE(wait_for_root_message("WM_CHANGE_STATE", xterm_, IconicState));
    EXPECT_TRUE(wait_until([&] { return looks_minimised(slot) && !looks_pressed(slot); }, SLOW));
    window_manager_command(xterm_, "Iconify");
    EXPECT_TRUE(wait_until([&] { return wm_state(xterm_) == IconicState; }, SLOW))
        << "WM_STATE " << wm_state(xterm_);
    EXPECT_TRUE(wait_until([&] {
        const auto where = geometry(dpy, xterm_);
        return where && !where->viewable();
    }, SLOW));
    EXPECT_TRUE(looks_minimised(slot));

    // The third click maps it again, which AfterStep takes as de-iconify.
    click_bar(middle);
    EXPECT_TRUE(wait_until([&] { return wm_state(xterm_) == NormalState; }, SLOW))
        << "WM_STATE " << wm_state(xterm_);
    EXPECT_TRUE(wait_until([&] {
        const auto where = geometry(dpy, xterm_);
        return where && where->viewable();
    }, SLOW));
    EXPECT_TRUE(wait_until([&] { return raised_above_others(xterm_, {xclock_, xeyes_}); }, SLOW));
    // The focus request that follows the map reaches the server before
    // AfterStep has mapped the window, so the server refuses it; AfterStep
    // does not focus a window it de-iconifies on a map request either.
    EXPECT_TRUE(wait_until([&] { return looks_normal(slot) && looks_pressed(slot); }, SLOW));
}

TEST_P(AfterStepDesktop, the_window_managers_own_iconify_gives_the_button_its_minimised_look)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    const int slot = slot_of(xclock_);
    ASSERT_GE(slot, 0);
    ASSERT_TRUE(looks_normal(slot));

    // Not through the bar: the look can come only from WM_STATE.
    window_manager_command(xclock_, "Iconify");
    EXPECT_TRUE(wait_until([&] { return wm_state(xclock_) == IconicState; }, SLOW));
    EXPECT_TRUE(wait_until([&] { return looks_minimised(slot); }, SLOW));

    window_manager_command(xclock_, "Iconify");  // a toggle: back to normal
    EXPECT_TRUE(wait_until([&] { return wm_state(xclock_) == NormalState; }, SLOW));
    EXPECT_TRUE(wait_until([&] { return looks_normal(slot); }, SLOW));
}

TEST_P(AfterStepDesktop, a_desktop_button_asks_the_window_manager_for_that_desktop)
{
    // Listen as the window manager would have to: the request is sent to
    // the root with SubstructureNotify.
    XSelectInput(dpy, root, SubstructureNotifyMask);
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());

    discard_root_messages();
    click_bar(DESK_STRIP + 2 * DESK_WIDTH + DESK_WIDTH / 2);  // the button labelled 3
    EXPECT_TRUE(wait_for_root_message("_WIN_WORKSPACE", root, 2));
    // AfterStep 2.2 does not select SubstructureNotify on the root and acts
    // only on _NET_CURRENT_DESKTOP, so it stays on the first desk; the
    // first test shows the bar following a switch it does make.
}

TEST_P(AfterStepDesktop, the_switcher_lists_the_real_clients_and_raises_the_chosen_one)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    // xclock, started before it, is under xeyes; the switcher brings it up.
    ASSERT_TRUE(wait_until([&] { return raised_above_others(xeyes_, {xclock_}); }, SLOW));

    move_pointer(dpy, 700, 300);
    switcher_ = std::make_unique<Program>(program_path("switcher"), options());
    std::optional<Window> popup;
    ASSERT_TRUE(wait_until([&] { return (popup = find_window_named("vokSwitch")).has_value(); }, SLOW));

    // What the pop-up lists: every window with a WM_STATE, depth first from
    // the root, without looking inside one; the pop-up itself and windows
    // whose _WIN_HINTS ask to stay out of window lists (the bar) left out.
    std::vector<Window> listed;
    const auto skips_lists = [&](Window window) {
        const auto hints = property32(dpy, window, "_WIN_HINTS");
        return hints && !hints->items.empty() && (hints->items[0] & 2);
    };
    std::function<void(Window)> walk = [&](Window window) {
        if (wm_state(window) > 0) {
            if (window != *popup && !skips_lists(window))
                listed.push_back(window);
            return;
        }
        Window root_return, parent;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(dpy, window, &root_return, &parent, &children, &count))
            return;
        for (unsigned i = 0; i < count; ++i)
            walk(children[i]);
        if (children)
            XFree(children);
    };
    ASSERT_TRUE(wait_until([&] {
        listed.clear();
        walk(root);
        const auto where = geometry(dpy, *popup);
        return where && where->viewable() && where->height == 12 * static_cast<int>(listed.size()) + 5;
    }, SLOW)) << "the pop-up does not list " << listed.size() << " windows";
    for (Window client : {xterm_, xclock_, xeyes_})
        EXPECT_NE(std::find(listed.begin(), listed.end(), client), listed.end());
    EXPECT_EQ(listed.size(), 3u) << "the bar is listed too";

    const int row = static_cast<int>(std::find(listed.begin(), listed.end(), xclock_) - listed.begin()) + 1;
    const auto where = geometry(dpy, *popup);
    ASSERT_TRUE(where);
    // Line k has its baseline at 12k; 12k - 1 is inside its click row.
    click_at(dpy, where->x + where->border_width + 10, where->y + where->border_width + 12 * row - 1);

    EXPECT_EQ(switcher_->wait_exit(SLOW), 0);
    EXPECT_EQ(switcher_->stderr_text(), "raising " + std::to_string(row));
    EXPECT_TRUE(wait_until([&] { return raised_above_others(xclock_, {xterm_, xeyes_}); }, SLOW));
}

INSTANTIATE_TEST_SUITE_P(RealWindowManagers, AfterStepDesktop, ::testing::Values(WindowManager::AfterStep),
                         row_name);

}  // namespace
