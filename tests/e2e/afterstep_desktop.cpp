// The panel and the switcher under a real window manager (AfterStep, with
// the configuration the demo uses) and real clients (xterm, xclock, xeyes).
// Everything here is slow to start and to end, so every wait is generous
// and waits on what the server shows, never on time alone.
#include "kit_test.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace kit_test;
namespace fs = std::filesystem;

namespace {

constexpr auto SLOW = 30s;  // AfterStep, xterm and a loaded CI machine

// With four desktops the desk strip is 96 pixels wide and client buttons
// start at 148; up to five clients get 145-pixel slots (a 144-pixel button
// after a 1-pixel gap).
constexpr int FIRST_BUTTON = 148;
constexpr int SLOT = 145;
constexpr int BUTTON_WIDTH = 144;
constexpr int DESK_STRIP = 48;
constexpr int DESK_WIDTH = 24;

fs::path afterstep_configuration()
{
    return fs::path(__FILE__).parent_path() / ".." / ".." / "scripts" / "lib" / "afterstep";
}

class AfterStepDesktop : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(fs::is_directory(afterstep_configuration())) << afterstep_configuration();
        home_ = std::make_unique<TempDir>();
        const fs::path dot = fs::path(home_->path()) / ".afterstep";
        fs::copy(afterstep_configuration(), dot, fs::copy_options::recursive);
        fs::remove(dot / "README");
        fs::create_directories(dot / "start");

        window_manager_ = std::make_unique<Program>("/usr/bin/afterstep", options());
        ASSERT_TRUE(wait_until([&] { return root_cardinal("_WIN_WORKSPACE_COUNT") == 4 &&
                                            root_cardinal("_WIN_WORKSPACE") == 0; },
                               SLOW))
            << "AfterStep did not come up with four desks:\n" << window_manager_->stderr_text();
        // The pointer rests on the bar's row, so the once-a-second check
        // keeps the bar expanded.
        move_pointer(dpy, screen_width / 2, screen_height - 1);
    }

    void TearDown() override
    {
        // All before the server: AfterStep can hang when its server goes first.
        switcher_.reset();
        panel_.reset();
        clients_.clear();
        if (window_manager_) {
            // Through its command interface: a SIGTERM that arrives while it
            // is busy with the clients just stopped can deadlock it.
            ProgramOptions o = options();
            o.args = {"Quit"};
            Program quit("/usr/bin/ascommand", o);
            quit.wait_exit(SLOW);
            window_manager_->wait_exit(10s);
            window_manager_->stop(3s);
        }
        window_manager_.reset();
        XServerTest::TearDown();
        home_.reset();
    }

    ProgramOptions options() const
    {
        return {.env = {{"HOME", home_->path()},
                        // Unreachable: no session bus, no bus daemon started.
                        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home_->path() + "/no-bus"}}};
    }

    long root_cardinal(const char* name)
    {
        const auto value = property32(dpy, root, name);
        return value && !value->items.empty() ? value->items[0] : -1;
    }

    std::vector<Window> client_list()
    {
        const auto list = property32(dpy, root, "_NET_CLIENT_LIST");
        std::vector<Window> windows;
        if (list)
            for (long id : list->items)
                windows.push_back(static_cast<Window>(id));
        return windows;
    }

    std::string name_of(Window window)
    {
        const auto name = property_bytes(dpy, window, XA_WM_NAME);
        return name ? name->bytes : std::string();
    }

    std::optional<Window> listed_client(const std::string& name)
    {
        for (Window window : client_list())
            if (name_of(window) == name)
                return window;
        return std::nullopt;
    }

    // Starts a client and waits until the window manager lists its window.
    Window start_client(const std::string& path, std::vector<std::string> args, const std::string& name)
    {
        ProgramOptions o = options();
        o.args = std::move(args);
        clients_.push_back(std::make_unique<Program>(path, o));
        std::optional<Window> window;
        EXPECT_TRUE(wait_until([&] { return (window = listed_client(name)).has_value(); }, SLOW))
            << name << " was never listed";
        return window.value_or(None);
    }

    // The three clients, xterm lowest; the panel starts first, since it
    // reads the client list only when the window manager changes it.
    void start_desktop()
    {
        start_panel();
        if (HasFatalFailure())
            return;
        xterm_ = start_client("/usr/bin/xterm", {"-geometry", "60x20+40+40", "-title", "xterm"}, "xterm");
        xclock_ = start_client("/usr/bin/xclock", {"-geometry", "180x180+200+100"}, "xclock");
        xeyes_ = start_client("/usr/bin/xeyes", {"-geometry", "200x140+320+160"}, "xeyes");
        ASSERT_TRUE(wait_until([&] { return titled_buttons() == 3; }, SLOW))
            << "the bar shows " << titled_buttons() << " titled buttons";
    }

    void start_panel(const char* program = "panel")
    {
        panel_ = std::make_unique<Program>(program_path(program), options());
        ASSERT_TRUE(wait_until([&] { return (bar_ = find_bar()) != None; }, SLOW)) << panel_->stderr_text();
        ASSERT_TRUE(wait_until(
            [&] {
                const auto where = geometry(dpy, bar_);
                return where && where->viewable() && where->y == screen_height - 24 && where->height == 24;
            },
            SLOW))
            << "the bar is not in place at the bottom edge";
    }

    // The panel's own window: the one its process owns that carries the
    // bar's layer, wherever the window manager has put it.
    Window find_bar()
    {
        std::function<Window(Window)> search = [&](Window window) -> Window {
            if (property32(dpy, window, "_WIN_LAYER") && owner_pid(window) == panel_->pid())
                return window;
            Window root_return, parent;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(dpy, window, &root_return, &parent, &children, &count))
                return None;
            Window found = None;
            for (unsigned i = 0; i < count && found == None; ++i)
                found = search(children[i]);
            if (children)
                XFree(children);
            return found;
        };
        return search(root);
    }

    pid_t owner_pid(XID resource)
    {
        XResClientIdSpec query{resource, XRES_CLIENT_ID_PID_MASK};
        long count = 0;
        XResClientIdValue* values = nullptr;
        pid_t pid = -1;
        if (XResQueryClientIds(dpy, 1, &query, &count, &values) == Success) {
            for (long i = 0; i < count; ++i)
                if (XResGetClientPid(&values[i]) > 0)
                    pid = XResGetClientPid(&values[i]);
            XResClientIdsDestroy(count, values);
        }
        return pid;
    }

    // ---- What the bar shows --------------------------------------------

    int button_left(int slot) const { return FIRST_BUTTON + slot * SLOT; }

    int count_in_title(int slot, PanelColor color)
    {
        const auto image = capture(dpy, bar_);
        if (!image)
            return -1;
        // Below the pressed look's top edge, right of the icon.
        return image->count(panel_pixel(dpy, color), button_left(slot) + 20, 3, BUTTON_WIDTH - 22, 19);
    }

    // Slots with text in ink or engraved in shadow: one per titled button.
    int titled_buttons()
    {
        int titled = 0;
        for (int slot = 0; slot < 5; ++slot)
            titled += count_in_title(slot, PanelColor::Ink) > 0 || count_in_title(slot, PanelColor::Shadow) > 0;
        return titled;
    }

    bool looks_pressed(int slot)
    {
        const int left = button_left(slot);
        return pixel(dpy, bar_, left + 3, 2) == panel_pixel(dpy, PanelColor::Shadow) &&
               pixel(dpy, bar_, left + BUTTON_WIDTH - 1, 22) == panel_pixel(dpy, PanelColor::Highlight);
    }

    // An engraved title: shadow letters, no ink.
    bool looks_minimised(int slot)
    {
        return count_in_title(slot, PanelColor::Ink) == 0 && count_in_title(slot, PanelColor::Shadow) > 0;
    }

    bool looks_normal(int slot) { return count_in_title(slot, PanelColor::Ink) > 0; }

    bool desk_looks_current(int desk)
    {
        const int left = DESK_STRIP + desk * DESK_WIDTH;
        return pixel(dpy, bar_, left + 2, 10) == panel_pixel(dpy, PanelColor::Shadow);
    }

    // The slot of a client: its place among the listed windows that the
    // bar shows (the window manager's order, the bar itself left out).
    int slot_of(Window client)
    {
        int slot = 0;
        const long desk = root_cardinal("_WIN_WORKSPACE");
        for (Window window : client_list()) {
            if (window == client)
                return slot;
            const auto hints = property32(dpy, window, "_WIN_HINTS");
            const auto where = property32(dpy, window, "_WIN_WORKSPACE");
            const bool skipped = hints && !hints->items.empty() && (hints->items[0] & 4);
            const long on = where && !where->items.empty() ? where->items[0] : 0;
            if (!skipped && on == desk)
                ++slot;
        }
        return -1;
    }

    void click_bar(int x) { click_at(dpy, x, screen_height - 12); }

    // ---- What the window manager does -----------------------------------

    std::optional<Window> find_window_named(const std::string& name)
    {
        std::function<std::optional<Window>(Window)> search = [&](Window window) -> std::optional<Window> {
            if (name_of(window) == name)
                return window;
            Window root_return, parent;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(dpy, window, &root_return, &parent, &children, &count))
                return std::nullopt;
            std::optional<Window> found;
            for (unsigned i = 0; i < count && !found; ++i)
                found = search(children[i]);
            if (children)
                XFree(children);
            return found;
        };
        return search(root);
    }

    long wm_state(Window client)
    {
        const auto state = property32(dpy, client, "WM_STATE");
        return state && !state->items.empty() ? state->items[0] : -1;
    }

    Window frame_of(Window window)
    {
        for (;;) {
            Window root_return, parent;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(dpy, window, &root_return, &parent, &children, &count))
                return None;
            if (children)
                XFree(children);
            if (parent == root || parent == None)
                return window;
            window = parent;
        }
    }

    // True when the client's frame is above the frames of the other clients.
    bool raised_above_others(Window client, std::initializer_list<Window> others)
    {
        const auto order = stacking_order(dpy);
        const auto at = [&](Window w) { return std::find(order.begin(), order.end(), frame_of(w)) - order.begin(); };
        const auto mine = at(client);
        return std::all_of(others.begin(), others.end(), [&](Window other) { return at(other) < mine; });
    }

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

    // Asks AfterStep to switch desks the way it listens for: an EWMH
    // request through SubstructureRedirect.
    void ask_window_manager_for_desk(long desk)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = root;
        event.xclient.message_type = atom(dpy, "_NET_CURRENT_DESKTOP");
        event.xclient.format = 32;
        event.xclient.data.l[0] = desk;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        sync(dpy);
    }

    std::unique_ptr<TempDir> home_;
    std::unique_ptr<Program> window_manager_;
    std::unique_ptr<Program> panel_;
    std::unique_ptr<Program> switcher_;
    std::vector<std::unique_ptr<Program>> clients_;
    Window bar_ = None;
    Window xterm_ = None;
    Window xclock_ = None;
    Window xeyes_ = None;
};

TEST_F(AfterStepDesktop, each_client_on_the_current_desktop_gets_one_button)
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

TEST_F(AfterStepDesktop, clicks_focus_and_raise_then_minimise_then_restore_the_client)
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

TEST_F(AfterStepDesktop, the_window_managers_own_iconify_gives_the_button_its_minimised_look)
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

TEST_F(AfterStepDesktop, a_desktop_button_asks_the_window_manager_for_that_desktop)
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

TEST_F(AfterStepDesktop, the_switcher_lists_the_real_clients_and_raises_the_chosen_one)
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

}  // namespace
