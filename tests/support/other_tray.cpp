#include "other_tray.hpp"

#include <X11/Xutil.h>

#include <stdexcept>
#include <string>

namespace kit_test {

namespace {

Atom selection_atom(Display* dpy)
{
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(dpy));
    return XInternAtom(dpy, name.c_str(), False);
}

}  // namespace

Window tray_owner(Display* dpy)
{
    return XGetSelectionOwner(dpy, selection_atom(dpy));
}

void send_tray_opcode(Display* dpy, long opcode, long data, Window to)
{
    if (to == None)
        to = tray_owner(dpy);
    if (to == None)
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = to;
    event.xclient.message_type = XInternAtom(dpy, "_NET_SYSTEM_TRAY_OPCODE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = CurrentTime;
    event.xclient.data.l[1] = opcode;
    event.xclient.data.l[2] = data;
    XSendEvent(dpy, to, False, NoEventMask, &event);
    XSync(dpy, False);
}

OtherTray::OtherTray() : dpy_(XOpenDisplay(nullptr))
{
    if (!dpy_)
        throw std::runtime_error("the other tray cannot connect");
    window_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 200, 24, 0, 0, 0);
    XSync(dpy_, False);
}

OtherTray::~OtherTray()
{
    XCloseDisplay(dpy_);
}

void OtherTray::take()
{
    const Window root = DefaultRootWindow(dpy_);
    XSetSelectionOwner(dpy_, selection_atom(dpy_), window_, CurrentTime);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = root;
    event.xclient.message_type = XInternAtom(dpy_, "MANAGER", False);
    event.xclient.format = 32;
    event.xclient.data.l[1] = static_cast<long>(selection_atom(dpy_));
    event.xclient.data.l[2] = static_cast<long>(window_);
    XSendEvent(dpy_, root, False, StructureNotifyMask, &event);
    XSync(dpy_, False);
}

const std::vector<Window>& OtherTray::embed_requests()
{
    XSync(dpy_, False);
    XEvent event;
    while (XCheckTypedEvent(dpy_, ClientMessage, &event)) {
        if (event.xclient.data.l[1] != 0)
            continue;  // only dock requests
        const Window icon = static_cast<Window>(event.xclient.data.l[2]);
        XReparentWindow(dpy_, icon, window_, 20 * static_cast<int>(icons_.size()), 4);
        XAddToSaveSet(dpy_, icon);  // icons outlive this tray, as with any other
        XMapWindow(dpy_, icon);
        icons_.push_back(icon);
    }
    XSync(dpy_, False);
    return icons_;
}

}  // namespace kit_test
