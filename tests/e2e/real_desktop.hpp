// The desktop the end-to-end tests share: a private server, one real window
// manager per row (its configuration from scripts/lib), the panel, real
// clients, and what the bar shows and the window manager does, read back.
// Window managers are slow to start and to end, so every wait is generous
// and waits on what the server shows, never on time alone.
#pragma once

#include "kit_test.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace kit_test {

constexpr auto SLOW = 30s;  // a window manager, xterm and a loaded CI machine

// With four desktops the desk strip is 96 pixels wide and client buttons
// start at 148; up to five clients get 145-pixel slots (a 144-pixel button
// after a 1-pixel gap).
constexpr int FIRST_BUTTON = 148;
constexpr int SLOT = 145;
constexpr int BUTTON_WIDTH = 144;
constexpr int DESK_STRIP = 48;
constexpr int DESK_WIDTH = 24;
constexpr int COLLAPSED = 2;  // what the bar reserves at its edge

enum class WindowManager { AfterStep, Openbox, IceWM, Fluxbox, Fvwm, WindowMaker, Sawfish };

inline std::string name_of(WindowManager wm)
{
    switch (wm) {
    case WindowManager::AfterStep: return "afterstep";
    case WindowManager::Openbox: return "openbox";
    case WindowManager::IceWM: return "icewm";
    case WindowManager::Fluxbox: return "fluxbox";
    case WindowManager::Fvwm: return "fvwm";
    case WindowManager::WindowMaker: return "wmaker";
    case WindowManager::Sawfish: return "sawfish";
    }
    return "?";
}

// Test names and failure reports show the window manager by name.
inline void PrintTo(WindowManager wm, std::ostream* out)
{
    *out << name_of(wm);
}

// What a window manager does on its own, whatever the bar asks; the
// README's table of window managers says the same.
struct Behaviour {
    bool activates_focusless = true;        // makes a client that takes no focus the active one
    bool unshades_on_activation = true;     // unrolls a rolled-up client it activates
    bool refits_maximised_windows = true;   // to a reservation that moves to the other edge
    int maximised_gap = COLLAPSED;          // what a maximised window leaves at the bar's edge
    int strip_height = COLLAPSED;           // the collapsed bar's height
    int strip_gap = 0;                      // between the collapsed bar and the screen edge
};

inline Behaviour behaviour_of(WindowManager wm)
{
    switch (wm) {
    case WindowManager::Fluxbox: return {.unshades_on_activation = false};
    case WindowManager::Fvwm:
        return {.unshades_on_activation = false, .refits_maximised_windows = false};
    case WindowManager::WindowMaker:
        // At least 5 pixels high, and so small a window kept 16 pixels
        // above the bottom edge.
        return {.activates_focusless = false, .unshades_on_activation = false, .refits_maximised_windows = false,
                .strip_height = 5, .strip_gap = 16};
    case WindowManager::Sawfish:
        // Keeps maximised windows off the bar's whole height.
        return {.unshades_on_activation = false, .refits_maximised_windows = false, .maximised_gap = 24};
    default: return {};
    }
}

inline std::string row_name(const ::testing::TestParamInfo<WindowManager>& info)
{
    return name_of(info.param);
}

inline std::filesystem::path window_manager_configuration(WindowManager wm)
{
    return std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "scripts" / "lib" / name_of(wm);
}

inline bool same_pixels(const Image& a, const Image& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.at(x, y) != b.at(x, y))
                return false;
    return true;
}

class RealDesktop : public XServerTest, public ::testing::WithParamInterface<WindowManager> {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        home_ = std::make_unique<TempDir>();
        start_window_manager();
        if (HasFatalFailure())
            return;
        // The pointer rests on the bar's row, so the once-a-second check
        // keeps the bar expanded.
        move_pointer(dpy, screen_width / 2, screen_height - 1);
    }

    void TearDown() override
    {
        // All before the server: a window manager whose server goes first
        // may hang.
        switcher_.reset();
        panel_.reset();
        clients_.clear();
        if (window_manager_ && GetParam() == WindowManager::AfterStep) {
            // Through its command interface: a SIGTERM that arrives while it
            // is busy with the clients just stopped can deadlock it.
            ProgramOptions o = options();
            o.args = {"Quit"};
            Program quit("/usr/bin/ascommand", o);
            quit.wait_exit(SLOW);
            window_manager_->wait_exit(10s);
        }
        if (window_manager_)
            window_manager_->stop(5s);
        window_manager_.reset();
        XServerTest::TearDown();
        home_.reset();
    }

    // Each window manager with its configuration in a private HOME, up with
    // four desktops on the first.
    void start_window_manager()
    {
        namespace fs = std::filesystem;
        const fs::path config = window_manager_configuration(GetParam());
        ASSERT_TRUE(fs::is_directory(config)) << config;
        const fs::path home = home_->path();
        ProgramOptions o = options();
        std::string program = "/usr/bin/" + name_of(GetParam());
        switch (GetParam()) {
        case WindowManager::AfterStep:
            fs::copy(config, home / ".afterstep", fs::copy_options::recursive);
            fs::remove(home / ".afterstep" / "README");
            fs::create_directories(home / ".afterstep" / "start");  // an empty start menu is quick to read
            break;
        case WindowManager::Openbox:
            o.args = {"--sm-disable", "--config-file", (config / "rc.xml").string()};
            break;
        case WindowManager::IceWM:
            fs::create_directories(home / ".icewm");
            fs::copy_file(config / "preferences", home / ".icewm" / "preferences");
            o.env.emplace_back("ICEWM_PRIVCFG", (home / ".icewm").string());
            break;
        case WindowManager::Fluxbox:
            // A copy: fluxbox writes its settings back.
            fs::create_directories(home / ".fluxbox");
            fs::copy_file(config / "init", home / ".fluxbox" / "init");
            o.args = {"-rc", (home / ".fluxbox" / "init").string()};
            break;
        case WindowManager::Fvwm:
            o.args = {"-f", (config / "config").string()};
            break;
        case WindowManager::WindowMaker:
            fs::create_directories(home / "GNUstep");
            fs::copy(config / "Defaults", home / "GNUstep" / "Defaults", fs::copy_options::recursive);
            break;
        case WindowManager::Sawfish:
            fs::copy_file(config / "sawfishrc", home / ".sawfishrc");
            break;
        }
        window_manager_ = std::make_unique<Program>(program, o);
        ASSERT_TRUE(wait_until([&] { return up_with_four_desktops(); }, SLOW))
            << name_of(GetParam()) << " did not come up with four desktops:\n"
            << window_manager_->stderr_text();
    }

    bool up_with_four_desktops()
    {
        if (older_hints())
            return root_cardinal("_WIN_WORKSPACE_COUNT") == 4 && root_cardinal("_WIN_WORKSPACE") == 0;
        return property32(dpy, root, "_NET_SUPPORTING_WM_CHECK") && root_cardinal("_NET_NUMBER_OF_DESKTOPS") == 4 &&
               root_cardinal("_NET_CURRENT_DESKTOP") == 0;
    }

    Behaviour behaviour() const { return behaviour_of(GetParam()); }

    // AfterStep publishes the older desktop hints too, and the bar then
    // follows those.
    bool older_hints() const { return GetParam() == WindowManager::AfterStep; }

    ProgramOptions options() const
    {
        const std::string home = home_->path();
        return {.env = {{"HOME", home},
                        {"XDG_CONFIG_HOME", home + "/.config"},
                        {"XDG_CACHE_HOME", home + "/.cache"},
                        {"XDG_DATA_HOME", home + "/.local/share"},
                        // Unreachable: no session bus, no bus daemon started.
                        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home + "/no-bus"}}};
    }

    long root_cardinal(const char* name)
    {
        const auto value = property32(dpy, root, name);
        return value && !value->items.empty() ? value->items[0] : -1;
    }

    long current_desktop() { return root_cardinal(older_hints() ? "_WIN_WORKSPACE" : "_NET_CURRENT_DESKTOP"); }

    std::vector<Window> client_list()
    {
        const auto list = property32(dpy, root, "_NET_CLIENT_LIST");
        std::vector<Window> windows;
        if (list)
            for (long id : list->items)
                windows.push_back(static_cast<Window>(id));
        return windows;
    }

    std::string title_of(Window window)
    {
        const auto name = property_bytes(dpy, window, XA_WM_NAME);
        return name ? name->bytes : std::string();
    }

    std::optional<Window> listed_client(const std::string& title)
    {
        for (Window window : client_list())
            if (title_of(window) == title)
                return window;
        return std::nullopt;
    }

    // Starts a client and waits until the window manager lists its window.
    Window start_client(const std::string& path, std::vector<std::string> args, const std::string& title)
    {
        ProgramOptions o = options();
        o.args = std::move(args);
        clients_.push_back(std::make_unique<Program>(path, o));
        std::optional<Window> window;
        EXPECT_TRUE(wait_until([&] { return (window = listed_client(title)).has_value(); }, SLOW))
            << title << " was never listed";
        started_.push_back(window.value_or(None));
        return window.value_or(None);
    }

    // The panel first, since it reads the client list only when the window
    // manager changes it; then the clients, xterm lowest.
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
        ASSERT_TRUE(wait_until([&] { return bar_in_place(); }, SLOW))
            << "the bar is not in place at the bottom edge";
    }

    bool bar_in_place()
    {
        const auto where = geometry(dpy, bar_);
        return where && where->viewable() && where->x == 0 && where->y == screen_height - 24 &&
               where->width == screen_width && where->height == 24;
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

    // Whether no other window's frame, stacked above the bar's, shows over
    // it: a capture of the bar shows whatever is on the screen there.
    bool bar_uncovered()
    {
        const auto bar = frame_geometry(bar_);
        const auto order = stacking_order(dpy);
        auto above = std::find(order.begin(), order.end(), frame_of(bar_));
        if (!bar || above == order.end())
            return false;
        return std::none_of(above + 1, order.end(), [&](Window window) {
            XWindowAttributes a{};
            if (!XGetWindowAttributes(dpy, window, &a) || a.map_state != IsViewable || a.c_class == InputOnly)
                return false;
            return a.x < bar->x + bar->width && bar->x < a.x + a.width + 2 * a.border_width &&
                   a.y < bar->y + bar->height && bar->y < a.y + a.height + 2 * a.border_width;
        });
    }

    // The picture `take` gives once the bar has settled: uncovered, and two
    // captures a repaint apart that agree and that `ready` accepts. A
    // picture taken while the bar is being painted, or while a window that
    // is still being placed covers it, would never be seen again.
    std::optional<Image> settled(const std::function<std::optional<Image>()>& take,
                                 const std::function<bool(const Image&)>& ready = {},
                                 std::chrono::milliseconds timeout = SLOW)
    {
        std::optional<Image> last;
        std::optional<Image> steady;
        wait_until([&] {
            std::optional<Image> now = bar_uncovered() ? take() : std::nullopt;
            if (now && last && same_pixels(*now, *last) && (!ready || ready(*now)))
                steady = now;
            last = std::move(now);
            if (!steady)
                std::this_thread::sleep_for(100ms);
            return steady.has_value();
        }, timeout);
        return steady;
    }

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

    // Exactly `desk` of the drawn desktop buttons looks sunken.
    bool only_current_desk(int desk)
    {
        for (int other = 0; other < 4; ++other)
            if (desk_looks_current(other) != (other == desk))
                return false;
        return true;
    }

    bool column_is(int x, PanelColor color)
    {
        const auto image = capture(dpy, bar_, x, 0, 1, 24);
        return image && image->count(panel_pixel(dpy, color)) == 24;
    }

    // Whether the bar follows the panel's skip rule: older hints where the
    // window has them, else the EWMH state and type.
    bool left_off_bar(Window window)
    {
        if (const auto hints = property32(dpy, window, "_WIN_HINTS"); hints && !hints->items.empty())
            return hints->items[0] & 4;
        return has_state(window, "_NET_WM_STATE_SKIP_TASKBAR") || has_type(window, "_NET_WM_WINDOW_TYPE_DOCK") ||
               has_type(window, "_NET_WM_WINDOW_TYPE_DESKTOP");
    }

    // The listed windows in the order the bar keeps their buttons: the
    // order it first saw them in. Windows started here came one at a time,
    // so in the order they were started; FVWM lists the newest first and
    // Window Maker in an order of its own.
    std::vector<Window> in_bar_order()
    {
        std::vector<Window> list = client_list();
        const auto started = [&](Window window) { return std::find(started_.begin(), started_.end(), window) - started_.begin(); };
        std::stable_sort(list.begin(), list.end(), [&](Window a, Window b) { return started(a) < started(b); });
        return list;
    }

    // The slot of a client: its place among the listed windows that the
    // bar shows (in the bar's order, the bar itself left out).
    int slot_of(Window client)
    {
        int slot = 0;
        const long desk = current_desktop();
        for (Window window : in_bar_order()) {
            if (window == client)
                return slot;
            const auto where = property32(dpy, window, older_hints() ? "_WIN_WORKSPACE" : "_NET_WM_DESKTOP");
            long on = where && !where->items.empty() ? where->items[0] : 0;
            if (static_cast<std::uint32_t>(on) == 0xFFFFFFFF)  // Xlib may sign-extend it
                on = desk;
            if (!left_off_bar(window) && on == desk)
                ++slot;
        }
        return -1;
    }

    void click_bar(int x) { click_at(dpy, x, screen_height - 12); }
    void click_desk(int desk) { click_bar(DESK_STRIP + desk * DESK_WIDTH + DESK_WIDTH / 2); }
    void click_button_of(Window client) { click_bar(button_left(slot_of(client)) + BUTTON_WIDTH / 2); }

    // ---- What the window manager does -----------------------------------

    long wm_state(Window client)
    {
        const auto state = property32(dpy, client, "WM_STATE");
        return state && !state->items.empty() ? state->items[0] : -1;
    }

    // The window's ancestor that is a child of the root: its frame.
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

    std::optional<Geometry> frame_geometry(Window window) { return geometry(dpy, frame_of(window)); }

    // True when the window's frame is above the frames of the others.
    bool raised_above_others(Window window, std::initializer_list<Window> others)
    {
        const auto order = stacking_order(dpy);
        const auto at = [&](Window w) { return std::find(order.begin(), order.end(), frame_of(w)) - order.begin(); };
        const auto mine = at(window);
        return std::all_of(others.begin(), others.end(), [&](Window other) { return at(other) < mine; });
    }

    bool focus_within(Window window)
    {
        Window focus = focused_window(dpy);
        while (focus != None && focus != PointerRoot && focus != root) {
            if (focus == window)
                return true;
            Window root_return, parent;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(dpy, focus, &root_return, &parent, &children, &count))
                return false;
            if (children)
                XFree(children);
            focus = parent;
        }
        return false;
    }

    std::optional<Window> find_window_named(const std::string& name)
    {
        std::function<std::optional<Window>(Window)> search = [&](Window window) -> std::optional<Window> {
            if (title_of(window) == name)
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

    // A client message to the root about `window`, as a pager or an
    // application sends it to the window manager.
    void send_to_window_manager(Window window, const char* type, std::initializer_list<long> data)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atom(dpy, type);
        event.xclient.format = 32;
        std::copy(data.begin(), data.end(), event.xclient.data.l);
        XSendEvent(dpy, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        sync(dpy);
    }

    // Asks the window manager to move the window to a desktop, as a pager
    // asks for it.
    void ask_for_desktop_of(Window window, long desktop)
    {
        send_to_window_manager(window, "_NET_WM_DESKTOP", {desktop, 2});
    }

    // Asks the window manager for a desktop the EWMH way.
    void ask_window_manager_for_desk(long desk)
    {
        send_to_window_manager(root, "_NET_CURRENT_DESKTOP", {desk, CurrentTime});
    }

    // Asks the window manager to add (1) or remove (0) one or two states,
    // as an application asks for it.
    void change_state(Window window, long action, const char* first, const char* second = nullptr)
    {
        send_to_window_manager(window, "_NET_WM_STATE",
                               {action, static_cast<long>(atom(dpy, first)),
                                second ? static_cast<long>(atom(dpy, second)) : 0, 1});
    }

    bool has_item(Window window, const char* property, const char* value)
    {
        const auto items = property32(dpy, window, property);
        const long wanted = static_cast<long>(atom(dpy, value));
        return items && std::find(items->items.begin(), items->items.end(), wanted) != items->items.end();
    }
    bool has_state(Window window, const char* state) { return has_item(window, "_NET_WM_STATE", state); }
    bool has_type(Window window, const char* type) { return has_item(window, "_NET_WM_WINDOW_TYPE", type); }

    std::unique_ptr<TempDir> home_;
    std::unique_ptr<Program> window_manager_;
    std::unique_ptr<Program> panel_;
    std::unique_ptr<Program> switcher_;
    std::vector<std::unique_ptr<Program>> clients_;
    std::vector<Window> started_;  // by start_client, oldest first
    Window bar_ = None;
    Window xterm_ = None;
    Window xclock_ = None;
    Window xeyes_ = None;
};

}  // namespace kit_test
