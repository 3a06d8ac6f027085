// Status icons and another system tray, for the bar's tray: the tray
// selection of the default screen, dock requests, and a tray of the test's
// own that takes the selection and embeds the icons that ask it to.
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros that break its headers.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <vector>

namespace kit_test {

// The window holding _NET_SYSTEM_TRAY_S<screen>, None when nobody does.
Window tray_owner(Display* dpy);

// A _NET_SYSTEM_TRAY_OPCODE message with l[1] `opcode` and l[2] `data` to
// the tray selection's holder (or to `to`); nothing when there is none.
void send_tray_opcode(Display* dpy, long opcode, long data, Window to = None);
inline void request_dock(Display* dpy, Window icon) { send_tray_opcode(dpy, 0, static_cast<long>(icon)); }

// Another tray on a connection of its own. It takes the selection only
// when told; closing its connection (the destructor) gives it up.
class OtherTray {
public:
    OtherTray();
    ~OtherTray();
    OtherTray(const OtherTray&) = delete;
    OtherTray& operator=(const OtherTray&) = delete;

    Window window() const { return window_; }
    // Takes the selection, whoever holds it, and announces itself.
    void take();
    // Embeds every icon that has asked since; returns all embedded so far.
    const std::vector<Window>& embed_requests();

private:
    Display* dpy_ = nullptr;
    Window window_ = None;
    std::vector<Window> icons_;
};

}  // namespace kit_test
