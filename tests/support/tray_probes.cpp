#include "tray_probes.hpp"

#include <string>

namespace kit_test {

namespace {

Atom selection(Display* dpy)
{
    return XInternAtom(dpy, ("_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(dpy))).c_str(), False);
}

void send_message(Display* dpy, Window to, const char* type, long mask, long l1, long l2)
{
    XEvent event{};
    event.xclient = {ClientMessage, 0, False, dpy, to, XInternAtom(dpy, type, False), 32, {}};
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    XSendEvent(dpy, to, False, mask, &event);
    XSync(dpy, False);
}

}  // namespace

Window tray_owner(Display* dpy)
{
    return XGetSelectionOwner(dpy, selection(dpy));
}

void send_tray_opcode(Display* dpy, long opcode, long data)
{
    if (const Window owner = tray_owner(dpy))
        send_message(dpy, owner, "_NET_SYSTEM_TRAY_OPCODE", NoEventMask, opcode, data);
}

void take_tray_selection(Display* dpy, Window window)
{
    XSetSelectionOwner(dpy, selection(dpy), window, CurrentTime);
    send_message(dpy, DefaultRootWindow(dpy), "MANAGER", StructureNotifyMask,
                 static_cast<long>(selection(dpy)), static_cast<long>(window));
}

}  // namespace kit_test
