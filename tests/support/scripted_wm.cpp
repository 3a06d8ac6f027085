#include "scripted_wm.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace kit_test {

ScriptedWm::ScriptedWm(const std::string& display_name)
{
    XInitThreads();
    dpy_ = XOpenDisplay(display_name.empty() ? nullptr : display_name.c_str());
    if (!dpy_)
        throw std::runtime_error("the scripted window manager cannot connect");
    root_ = DefaultRootWindow(dpy_);
    // Client messages sent to the root with SubstructureNotifyMask (or with
    // SubstructureRedirectMask while nobody holds the redirect) reach us.
    XSelectInput(dpy_, root_, SubstructureNotifyMask);
    XSync(dpy_, False);
    if (pipe2(wake_pipe_, O_CLOEXEC) != 0) {
        XCloseDisplay(dpy_);
        throw std::runtime_error("pipe failed");
    }
    thread_ = std::thread([this] { serve(); });
}

ScriptedWm::~ScriptedWm()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = write(wake_pipe_[1], &byte, 1);
    thread_.join();
    close(wake_pipe_[0]);
    close(wake_pipe_[1]);
    XCloseDisplay(dpy_);
}

void ScriptedWm::serve()
{
    const int x_fd = ConnectionNumber(dpy_);
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            // Events may also have been queued by a round trip on the test's thread.
            while (XPending(dpy_)) {
                XEvent event;
                XNextEvent(dpy_, &event);
                handle(event);
            }
        }
        pollfd fds[2] = {{x_fd, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
        poll(fds, 2, 20);
    }
}

void ScriptedWm::handle(const XEvent& event)
{
    if (event.type != ClientMessage)
        return;
    const XClientMessageEvent& message = event.xclient;
    RootMessage record;
    record.window = message.window;
    record.message_type = message.message_type;
    record.format = message.format;
    record.send_event = message.send_event;
    for (int i = 0; i < 5; ++i)
        record.data[i] = message.data.l[i];

    if (answer_iconify_ && message.message_type == XInternAtom(dpy_, "WM_CHANGE_STATE", False) &&
        message.data.l[0] == IconicState) {
        XUnmapWindow(dpy_, message.window);
        const long state[2] = {IconicState, None};
        const Atom wm_state = XInternAtom(dpy_, "WM_STATE", False);
        change(message.window, wm_state, wm_state, 32, state, 2);
        XFlush(dpy_);
    }
    if (answer_workspace_ && message.message_type == XInternAtom(dpy_, "_WIN_WORKSPACE", False)) {
        const long desktop = message.data.l[0];
        change(root_, XInternAtom(dpy_, "_WIN_WORKSPACE", False), XA_CARDINAL, 32, &desktop, 1);
        XFlush(dpy_);
    }
    messages_.push_back(record);
    message_arrived_.notify_all();
}

void ScriptedWm::change(Window window, Atom property, Atom type, int format, const void* data,
                        int items)
{
    XChangeProperty(dpy_, window, property, type, format, PropModeReplace,
                    static_cast<const unsigned char*>(data), items);
}

void ScriptedWm::round_trip()
{
    XSync(dpy_, False);
}

Atom ScriptedWm::atom(const char* name)
{
    std::lock_guard lock(mutex_);
    return XInternAtom(dpy_, name, False);
}

// ---- Root properties ------------------------------------------------------------

void ScriptedWm::set_net_client_list(const std::vector<Window>& windows)
{
    std::vector<long> items(windows.begin(), windows.end());
    set_root_property("_NET_CLIENT_LIST", "WINDOW", 32, items);
}

void ScriptedWm::set_win_client_list(const std::vector<Window>& windows)
{
    std::vector<long> items(windows.begin(), windows.end());
    set_root_property("_WIN_CLIENT_LIST", "CARDINAL", 32, items);
}

void ScriptedWm::set_win_workspace(long desktop)
{
    set_root_property("_WIN_WORKSPACE", "CARDINAL", 32, {desktop});
}

void ScriptedWm::set_win_workspace_count(long count)
{
    set_root_property("_WIN_WORKSPACE_COUNT", "CARDINAL", 32, {count});
}

void ScriptedWm::delete_root_property(const char* name)
{
    delete_property(root_, name);
}

void ScriptedWm::set_root_property(const char* name, const char* type, int format,
                                   const std::vector<long>& data)
{
    set_property(root_, name, type, format, data);
}

void ScriptedWm::set_property(Window window, const char* name, const char* type, int format,
                              const std::vector<long>& data)
{
    std::lock_guard lock(mutex_);
    const Atom property = XInternAtom(dpy_, name, False);
    const Atom type_atom = XInternAtom(dpy_, type, False);
    const int items = static_cast<int>(data.size());
    if (format == 32) {
        change(window, property, type_atom, 32, data.data(), items);
    } else if (format == 16) {
        std::vector<short> halves(data.begin(), data.end());
        change(window, property, type_atom, 16, halves.data(), items);
    } else {
        std::vector<char> bytes(data.begin(), data.end());
        change(window, property, type_atom, 8, bytes.data(), items);
    }
    round_trip();
}

void ScriptedWm::set_bytes_property(Window window, const char* name, const char* type,
                                    const std::string& bytes)
{
    std::lock_guard lock(mutex_);
    change(window, XInternAtom(dpy_, name, False), XInternAtom(dpy_, type, False), 8, bytes.data(),
           static_cast<int>(bytes.size()));
    round_trip();
}

void ScriptedWm::delete_property(Window window, const char* name)
{
    std::lock_guard lock(mutex_);
    XDeleteProperty(dpy_, window, XInternAtom(dpy_, name, False));
    round_trip();
}

// ---- Clients ------------------------------------------------------------------

Window ScriptedWm::create_client(const ClientSetup& setup)
{
    Window window;
    {
        std::lock_guard lock(mutex_);
        const int screen = DefaultScreen(dpy_);
        window = XCreateSimpleWindow(dpy_, root_, setup.x, setup.y, setup.width, setup.height, 0,
                                     BlackPixel(dpy_, screen), WhitePixel(dpy_, screen));
    }
    if (setup.name)
        set_name(window, setup.name);
    if (setup.wm_hints)
        set_wm_hints(window, setup.wm_hints);
    if (setup.kwm_win_icon)
        set_kwm_win_icon(window, setup.kwm_win_icon);
    if (setup.workspace)
        set_workspace(window, setup.workspace);
    if (setup.win_hints)
        set_win_hints(window, setup.win_hints);
    if (setup.wm_state)
        set_wm_state(window, setup.wm_state);
    if (setup.mapped)
        map(window);
    std::lock_guard lock(mutex_);
    round_trip();
    return window;
}

void ScriptedWm::set_name(Window client, const std::optional<TextValue>& name)
{
    if (!name) {
        delete_property(client, "WM_NAME");
        return;
    }
    std::lock_guard lock(mutex_);
    const Atom type = XInternAtom(dpy_, name->type.c_str(), False);
    const int unit = name->format == 32 ? sizeof(long) : name->format == 16 ? 2 : 1;
    change(client, XA_WM_NAME, type, name->format, name->bytes.data(),
           static_cast<int>(name->bytes.size() / unit));
    round_trip();
}

void ScriptedWm::set_wm_hints(Window client, const std::optional<WmHintsSetup>& hints)
{
    if (!hints) {
        delete_property(client, "WM_HINTS");
        return;
    }
    long flags = InputHint;
    if (hints->icon != None)
        flags |= IconPixmapHint;
    if (hints->mask != None)
        flags |= IconMaskHint;
    if (hints->initial_state)
        flags |= StateHint;
    // flags, input, initial_state, icon_pixmap, icon_window, icon_x, icon_y, icon_mask, group
    const long items[9] = {hints->flags.value_or(flags),
                           hints->input,
                           hints->initial_state,
                           static_cast<long>(hints->icon),
                           0,
                           0,
                           0,
                           static_cast<long>(hints->mask),
                           0};
    std::lock_guard lock(mutex_);
    change(client, XA_WM_HINTS, XA_WM_HINTS, 32, items, 9);
    round_trip();
}

void ScriptedWm::set_kwm_win_icon(Window client, const std::optional<std::pair<Pixmap, Pixmap>>& icon)
{
    if (!icon) {
        delete_property(client, "KWM_WIN_ICON");
        return;
    }
    set_property(client, "KWM_WIN_ICON", "KWM_WIN_ICON", 32,
                 {static_cast<long>(icon->first), static_cast<long>(icon->second)});
}

void ScriptedWm::set_workspace(Window client, std::optional<long> desktop)
{
    if (desktop)
        set_property(client, "_WIN_WORKSPACE", "CARDINAL", 32, {*desktop});
    else
        delete_property(client, "_WIN_WORKSPACE");
}

void ScriptedWm::set_win_hints(Window client, std::optional<long> hints)
{
    if (hints)
        set_property(client, "_WIN_HINTS", "CARDINAL", 32, {*hints});
    else
        delete_property(client, "_WIN_HINTS");
}

void ScriptedWm::set_wm_state(Window client, std::optional<long> state)
{
    if (state)
        set_property(client, "WM_STATE", "WM_STATE", 32, {*state, static_cast<long>(None)});
    else
        delete_property(client, "WM_STATE");
}

void ScriptedWm::map(Window client)
{
    std::lock_guard lock(mutex_);
    XMapWindow(dpy_, client);
    round_trip();
}

void ScriptedWm::unmap(Window client)
{
    std::lock_guard lock(mutex_);
    XUnmapWindow(dpy_, client);
    round_trip();
}

void ScriptedWm::destroy(Window client)
{
    std::lock_guard lock(mutex_);
    XDestroyWindow(dpy_, client);
    round_trip();
}

// ---- Pixmaps ------------------------------------------------------------------

Pixmap ScriptedWm::create_pixmap(int width, int height, int depth,
                                 const std::function<unsigned long(int, int)>& pattern)
{
    std::lock_guard lock(mutex_);
    const Pixmap pixmap = XCreatePixmap(dpy_, root_, width, height, depth);
    XImage* image = XCreateImage(dpy_, DefaultVisual(dpy_, DefaultScreen(dpy_)), depth,
                                 depth == 1 ? XYPixmap : ZPixmap, 0, nullptr, width, height, 32, 0);
    if (!image) {
        round_trip();
        return pixmap;
    }
    image->data = static_cast<char*>(std::calloc(image->bytes_per_line, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            XPutPixel(image, x, y, pattern(x, y));
    GC gc = XCreateGC(dpy_, pixmap, 0, nullptr);
    XPutImage(dpy_, pixmap, gc, image, 0, 0, 0, 0, width, height);
    XFreeGC(dpy_, gc);
    XDestroyImage(image);
    round_trip();
    return pixmap;
}

Pixmap ScriptedWm::create_solid_pixmap(int width, int height, int depth, unsigned long pixel)
{
    return create_pixmap(width, height, depth, [pixel](int, int) { return pixel; });
}

Pixmap ScriptedWm::create_bitmap(int width, int height, const std::function<bool(int, int)>& pattern)
{
    return create_pixmap(width, height, 1,
                         [&pattern](int x, int y) { return pattern(x, y) ? 1ul : 0ul; });
}

void ScriptedWm::free_pixmap(Pixmap pixmap)
{
    std::lock_guard lock(mutex_);
    XFreePixmap(dpy_, pixmap);
    round_trip();
}

// ---- Messages -------------------------------------------------------------------

std::vector<RootMessage> ScriptedWm::client_messages()
{
    std::lock_guard lock(mutex_);
    return messages_;
}

void ScriptedWm::clear_messages()
{
    std::lock_guard lock(mutex_);
    messages_.clear();
}

std::optional<RootMessage> ScriptedWm::wait_for_message(Atom type, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    std::optional<RootMessage> found;
    message_arrived_.wait_for(lock, timeout, [&] {
        for (const auto& message : messages_) {
            if (message.message_type == type) {
                found = message;
                return true;
            }
        }
        return false;
    });
    return found;
}

std::optional<RootMessage> ScriptedWm::wait_for_message(const char* type, std::chrono::milliseconds timeout)
{
    return wait_for_message(atom(type), timeout);
}

void ScriptedWm::answer_iconify(bool on)
{
    std::lock_guard lock(mutex_);
    answer_iconify_ = on;
}

void ScriptedWm::answer_workspace_requests(bool on)
{
    std::lock_guard lock(mutex_);
    answer_workspace_ = on;
}

void ScriptedWm::pump()
{
    std::lock_guard lock(mutex_);
    round_trip();
    while (XPending(dpy_)) {
        XEvent event;
        XNextEvent(dpy_, &event);
        handle(event);
    }
}

}  // namespace kit_test
