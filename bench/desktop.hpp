// The scripted desktop: a stand-in window manager that publishes the
// desktops and the client list, makes, renames and destroys clients, and
// finds and watches the subject's bar.
#pragma once

#include "bench.hpp"


// Publishes what a window manager would (both the GNOME and the EWMH
// hints, so that every bar measured reads the same desktop), and creates,
// lists and destroys client windows.
// With a real window manager running (`scripted` false) it only makes,
// renames and destroys clients and asks for desktop switches; the window
// manager publishes the rest.
class Driver {
public:
    explicit Driver(const std::string& display, bool scripted = true) : scripted_(scripted)
    {
        dpy_ = XOpenDisplay(display.c_str());
        if (!dpy_)
            throw std::runtime_error("cannot connect to " + display);
        root_ = DefaultRootWindow(dpy_);
        int error_base = 0;
        if (!XDamageQueryExtension(dpy_, &damage_event_, &error_base))
            damage_event_ = -1;
        if (!scripted_)
            return;
        check_ = XCreateSimpleWindow(dpy_, root_, -10, -10, 1, 1, 0, 0, 0);
        set_window(root_, "_NET_SUPPORTING_WM_CHECK", check_);
        set_window(check_, "_NET_SUPPORTING_WM_CHECK", check_);
        set_utf8(check_, "_NET_WM_NAME", "bench-wm");
        const char* supported[] = {"_NET_SUPPORTED", "_NET_CLIENT_LIST", "_NET_NUMBER_OF_DESKTOPS",
                                   "_NET_CURRENT_DESKTOP", "_NET_WM_DESKTOP", "_NET_ACTIVE_WINDOW",
                                   "_NET_WM_NAME", "_NET_WM_WINDOW_TYPE", "_NET_SUPPORTING_WM_CHECK"};
        std::vector<long> atoms;
        for (auto name : supported)
            atoms.push_back(static_cast<long>(atom(name)));
        XChangeProperty(dpy_, root_, atom("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(atoms.data()), static_cast<int>(atoms.size()));
        set_cardinal(root_, "_NET_NUMBER_OF_DESKTOPS", 4);
        set_cardinal(root_, "_WIN_WORKSPACE_COUNT", 4);
        set_cardinal(root_, "_NET_CURRENT_DESKTOP", 0);
        set_cardinal(root_, "_WIN_WORKSPACE", 0);
        set_window(root_, "_NET_ACTIVE_WINDOW", None);
        XSync(dpy_, False);
    }
    ~Driver()
    {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    Display* display() const { return dpy_; }
    Window root() const { return root_; }

    Atom atom(const char* name)
    {
        auto it = atoms_.find(name);
        if (it != atoms_.end())
            return it->second;
        return atoms_[name] = XInternAtom(dpy_, name, False);
    }

    // A mapped client window on `desktop`, named like a real one.
    Window add_client(long desktop = 0)
    {
        const int i = serial_++;
        Window w = XCreateSimpleWindow(dpy_, root_, 20 + (i * 37) % 800, 20 + (i * 53) % 520, 120, 60, 1,
                                       BlackPixel(dpy_, 0), WhitePixel(dpy_, 0));
        std::string name = "window " + std::to_string(i);
        XStoreName(dpy_, w, name.c_str());
        set_utf8(w, "_NET_WM_NAME", name);
        XClassHint cls{const_cast<char*>("bench"), const_cast<char*>("Bench")};
        XSetClassHint(dpy_, w, &cls);
        XWMHints hints{};
        hints.flags = InputHint | StateHint;
        hints.input = True;
        hints.initial_state = NormalState;
        XSetWMHints(dpy_, w, &hints);
        long state[2] = {NormalState, None};
        XChangeProperty(dpy_, w, atom("WM_STATE"), atom("WM_STATE"), 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(state), 2);
        set_cardinal(w, "_NET_WM_DESKTOP", desktop);
        if (scripted_)
            set_cardinal(w, "_WIN_WORKSPACE", desktop);
        long type = static_cast<long>(atom("_NET_WM_WINDOW_TYPE_NORMAL"));
        XChangeProperty(dpy_, w, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&type), 1);
        XMapWindow(dpy_, w);
        clients_.push_back(w);
        ours_.insert(w);
        return w;
    }

    void remove_last_client()
    {
        if (clients_.empty())
            return;
        Window w = clients_.back();
        clients_.pop_back();
        publish();
        XDestroyWindow(dpy_, w);
        XSync(dpy_, False);
    }

    // Takes the newest `n` clients away (out of the list first, as a
    // window manager does when they are destroyed).
    void remove_clients(std::size_t n)
    {
        std::vector<Window> gone;
        for (; n > 0 && !clients_.empty(); --n) {
            gone.push_back(clients_.back());
            clients_.pop_back();
        }
        publish();
        for (Window w : gone)
            XDestroyWindow(dpy_, w);
        XSync(dpy_, False);
    }

    // A new title, in both conventions, as a client renames itself.
    void rename_client(Window w, const std::string& name)
    {
        XStoreName(dpy_, w, name.c_str());
        set_utf8(w, "_NET_WM_NAME", name);
    }
    const std::vector<Window>& clients() const { return clients_; }
    void flush() { XSync(dpy_, False); }

    // The desktop shown: published on the root as a window manager does, or
    // asked of the real one.
    void switch_desktop(long desktop)
    {
        if (scripted_) {
            set_cardinal(root_, "_NET_CURRENT_DESKTOP", desktop);
            set_cardinal(root_, "_WIN_WORKSPACE", desktop);
        } else {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = root_;
            event.xclient.message_type = atom("_NET_CURRENT_DESKTOP");
            event.xclient.format = 32;
            event.xclient.data.l[0] = desktop;
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(dpy_, root_, False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
        }
        XSync(dpy_, False);
    }

    // Reports of drawing on the window, from here on.
    bool watch_drawing(Window w)
    {
        if (damage_event_ < 0)
            return false;
        XDamageCreate(dpy_, w, XDamageReportRawRectangles);
        XSync(dpy_, False);
        return true;
    }

    // The time of the last drawing on a watched window, once nothing has
    // been drawn for `quiet`; nullopt when nothing was drawn within `limit`.
    std::optional<Clock::time_point> last_drawing(std::chrono::milliseconds quiet,
                                                  std::chrono::milliseconds limit = 10000ms)
    {
        const auto deadline = Clock::now() + limit;
        std::optional<Clock::time_point> last;
        for (;;) {
            while (XPending(dpy_)) {
                XEvent event;
                XNextEvent(dpy_, &event);
                if (event.type == damage_event_ + XDamageNotify)
                    last = Clock::now();
            }
            const auto now = Clock::now();
            if (now >= deadline || (last && now - *last >= quiet))
                return last;
            pollfd fd{ConnectionNumber(dpy_), POLLIN, 0};
            poll(&fd, 1, 5);
        }
    }

    // The client list, in both conventions, as one change each.
    void publish()
    {
        if (!scripted_) {
            XSync(dpy_, False);
            return;
        }
        std::vector<long> ids(clients_.begin(), clients_.end());
        XChangeProperty(dpy_, root_, atom("_NET_CLIENT_LIST"), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(ids.data()), static_cast<int>(ids.size()));
        XChangeProperty(dpy_, root_, atom("_WIN_CLIENT_LIST"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(ids.data()), static_cast<int>(ids.size()));
        XSync(dpy_, False);
    }

    void add_clients(int n)
    {
        for (int i = 0; i < n; ++i)
            add_client();
        publish();
    }

    // Status icons as a toolkit makes them (an _XEMBED_INFO asking to be
    // shown), each asking the screen's tray to take it; true once the tray
    // has taken them all.
    bool dock_icons(int n, std::chrono::milliseconds limit = 10000ms)
    {
        const Atom selection = atom("_NET_SYSTEM_TRAY_S0");
        auto deadline = Clock::now() + limit;
        Window tray = None;
        while ((tray = XGetSelectionOwner(dpy_, selection)) == None && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        if (tray == None)
            return false;
        std::vector<Window> icons;
        for (int i = 0; i < n; ++i) {
            Window w = XCreateSimpleWindow(dpy_, root_, 0, 0, 16, 16, 0, 0, 0xff0000 >> (4 * i));
            long info[2] = {0, 1};
            XChangeProperty(dpy_, w, atom("_XEMBED_INFO"), atom("_XEMBED_INFO"), 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(info), 2);
            XEvent dock{};
            dock.xclient.type = ClientMessage;
            dock.xclient.window = tray;
            dock.xclient.message_type = atom("_NET_SYSTEM_TRAY_OPCODE");
            dock.xclient.format = 32;
            dock.xclient.data.l[2] = static_cast<long>(w);  // l[1] 0: dock
            XSendEvent(dpy_, tray, False, NoEventMask, &dock);
            icons.push_back(w);
            ours_.insert(w);
        }
        XSync(dpy_, False);
        const auto docked = [&] {
            for (Window w : icons) {
                Window root_ret, parent, *children = nullptr;
                unsigned count = 0;
                if (!XQueryTree(dpy_, w, &root_ret, &parent, &children, &count) || parent == root_)
                    return false;
                if (children)
                    XFree(children);
            }
            return true;
        };
        while (!docked() && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return docked();
    }

    bool is_ours(Window w) const { return ours_.count(w) > 0 || w == check_; }
    std::size_t client_count() const { return clients_.size(); }

    // The widest short window on the root that the driver did not make and
    // that the process `pid` owns (any owner when pid is 0).
    // A real window manager may have put it in a frame of its own: then it
    // is looked for inside the root's children too.
    std::optional<Window> find_bar(pid_t pid)
    {
        std::vector<Window> candidates = children_of(root_);
        if (!scripted_) {
            for (std::size_t depth = 0, from = 0; depth < 2; ++depth) {
                const std::size_t to = candidates.size();
                for (std::size_t i = from; i < to; ++i)
                    if (!is_ours(candidates[i]))
                        for (Window child : children_of(candidates[i]))
                            candidates.push_back(child);
                from = to;
            }
        }
        std::optional<Window> best;
        int best_width = 0;
        for (Window w : candidates) {
            if (is_ours(w))
                continue;
            XWindowAttributes a;
            if (!XGetWindowAttributes(dpy_, w, &a) || a.map_state != IsViewable)
                continue;
            if (a.width < SCREEN_W / 2 || a.height > 64)
                continue;
            if (pid && owner_pid(w) != pid)
                continue;
            if (a.width > best_width) {
                best = w;
                best_width = a.width;
            }
        }
        return best;
    }

    std::vector<Window> children_of(Window w)
    {
        Window root_ret, parent;
        Window* children = nullptr;
        unsigned count = 0;
        std::vector<Window> list;
        if (XQueryTree(dpy_, w, &root_ret, &parent, &children, &count))
            list.assign(children, children + count);
        if (children)
            XFree(children);
        return list;
    }

    pid_t owner_pid(Window w)
    {
        XResClientIdSpec query{w, XRES_CLIENT_ID_PID_MASK};
        long count = 0;
        XResClientIdValue* values = nullptr;
        pid_t pid = -1;
        if (XResQueryClientIds(dpy_, 1, &query, &count, &values) == Success) {
            for (long i = 0; i < count; ++i)
                if (XResGetClientPid(&values[i]) > 0)
                    pid = XResGetClientPid(&values[i]);
            XResClientIdsDestroy(count, values);
        }
        return pid;
    }

    // True once the window shows more than one colour: drawn on, not just
    // cleared to its background.
    bool painted(Window w)
    {
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy_, w, &a) || a.map_state != IsViewable)
            return false;
        XImage* image = XGetImage(dpy_, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
        if (!image)
            return false;
        bool varied = false;
        unsigned long first = XGetPixel(image, 0, 0);
        for (int y = 0; y < a.height && !varied; ++y)
            for (int x = 0; x < a.width; ++x)
                if (XGetPixel(image, x, y) != first) {
                    varied = true;
                    break;
                }
        XDestroyImage(image);
        return varied;
    }

    // Covers the window with another and takes it away again, so that the
    // whole of it is exposed.
    void expose(Window w)
    {
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy_, w, &a))
            return;
        XSetWindowAttributes attrs{};
        attrs.override_redirect = True;
        attrs.background_pixel = BlackPixel(dpy_, 0);
        Window cover = XCreateWindow(dpy_, root_, a.x, a.y, a.width, a.height, 0, CopyFromParent,
                                     InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attrs);
        ours_.insert(cover);
        XMapRaised(dpy_, cover);
        XSync(dpy_, False);
        XDestroyWindow(dpy_, cover);
        XSync(dpy_, False);
    }

private:
    void set_cardinal(Window w, const char* name, long value)
    {
        XChangeProperty(dpy_, w, atom(name), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&value), 1);
    }
    void set_window(Window w, const char* name, Window value)
    {
        long v = static_cast<long>(value);
        XChangeProperty(dpy_, w, atom(name), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&v), 1);
    }
    void set_utf8(Window w, const char* name, const std::string& text)
    {
        XChangeProperty(dpy_, w, atom(name), atom("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    }

    bool scripted_ = true;
    int damage_event_ = -1;
    Display* dpy_ = nullptr;
    Window root_ = None;
    Window check_ = None;
    std::map<std::string, Atom> atoms_;
    std::vector<Window> clients_;
    std::set<Window> ours_;
    int serial_ = 0;
};

// Waits for the subject's bar to be mapped and painted; returns it with the
// time from exec.
inline std::optional<std::pair<Window, double>> wait_for_painted_bar(Driver& driver, Run& run,
                                                              std::chrono::milliseconds limit = 20000ms)
{
    auto deadline = Clock::now() + limit;
    std::optional<Window> bar;
    while (Clock::now() < deadline) {
        if (!bar)
            bar = driver.find_bar(run.pid());
        if (bar && driver.painted(*bar))
            return std::make_pair(*bar, seconds_since(run.started()));
        if (!run.running())
            return std::nullopt;
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

// Waits until the subject follows the desktop: its bar painted (when it
// has one), then one change of the list taken in (a bar may read the list
// only when it changes) and the subject quiet. False when it never got there.
inline bool wait_following(Driver& driver, Run& run, const Subject& subject, Window* bar = nullptr)
{
    if (subject.has_bar) {
        const auto painted = wait_for_painted_bar(driver, run);
        if (!painted)
            return false;
        if (bar)
            *bar = painted->first;
    } else {
        wait_quiet(run.pid(), 200ms, 20000ms);
    }
    driver.add_client();
    driver.publish();
    wait_quiet(run.pid(), 200ms, 30000ms);
    return run.running();
}
