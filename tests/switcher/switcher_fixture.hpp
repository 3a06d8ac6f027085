// A private server with the switcher running on it, and what a person sees
// of it: the pop-up's place, size and lines, and what the program says.
#pragma once

#include "kit_test.hpp"

#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace switcher_test {

using namespace kit_test;

constexpr long NORMAL = 1;
constexpr long ICONIC = 3;

inline std::string name_of(Display* dpy, Window window)
{
    char* name = nullptr;
    if (!XFetchName(dpy, window, &name) || !name)
        return {};
    std::string result = name;
    XFree(name);
    return result;
}

// Sends an exposure of the whole window, as the server would after covering it.
inline void send_expose(Display* dpy, Window window, int count = 0)
{
    XEvent event{};
    event.xexpose.type = Expose;
    event.xexpose.window = window;
    event.xexpose.width = 1;
    event.xexpose.height = 1;
    event.xexpose.count = count;
    XSendEvent(dpy, window, False, ExposureMask, &event);
    XFlush(dpy);
}

// The simplest managing window manager: it holds the redirect on the root,
// maps what asks to be mapped (marking it NormalState first, as managers
// do) and carries out configure requests, remembering them.
class MarkingWm {
public:
    MarkingWm() : dpy_(XOpenDisplay(nullptr)), wm_state_(XInternAtom(dpy_, "WM_STATE", False))
    {
        XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureRedirectMask);
        XSync(dpy_, False);
    }
    ~MarkingWm() { XCloseDisplay(dpy_); }
    MarkingWm(const MarkingWm&) = delete;
    MarkingWm& operator=(const MarkingWm&) = delete;

    // Handles every request that has reached the server so far.
    void pump()
    {
        XSync(dpy_, False);
        while (XPending(dpy_)) {
            XEvent event;
            XNextEvent(dpy_, &event);
            if (event.type == MapRequest) {
                const long state[2] = {NORMAL, None};
                XChangeProperty(dpy_, event.xmaprequest.window, wm_state_, wm_state_, 32,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(state), 2);
                XMapWindow(dpy_, event.xmaprequest.window);
            } else if (event.type == ConfigureRequest) {
                const auto& asked = event.xconfigurerequest;
                XWindowChanges changes{asked.x, asked.y, asked.width, asked.height,
                                       asked.border_width, asked.above, asked.detail};
                XConfigureWindow(dpy_, asked.window, static_cast<unsigned>(asked.value_mask),
                                 &changes);
            }
            requests.push_back(event);
        }
        XSync(dpy_, False);
    }

    // The sizes asked for, in order: the switcher asks once per listing pass.
    std::vector<std::pair<int, int>> sizes_asked() const
    {
        std::vector<std::pair<int, int>> sizes;
        for (const XEvent& event : requests)
            if (event.type == ConfigureRequest &&
                (event.xconfigurerequest.value_mask & (CWWidth | CWHeight)))
                sizes.emplace_back(event.xconfigurerequest.width, event.xconfigurerequest.height);
        return sizes;
    }

    std::vector<XEvent> requests;  // every request redirected to it, in order

private:
    Display* dpy_;
    Atom wm_state_;
};

class SwitcherTest : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        wm.emplace();
    }
    void TearDown() override
    {
        switcher.reset();
        wm.reset();
        if (fixed_)
            XFreeFont(dpy, fixed_);
        XServerTest::TearDown();
    }

    // A top-level client as a window manager leaves it: named (or not), with
    // WM_STATE, mapped unless iconic.
    Window client(std::optional<std::string> name, std::optional<long> state = NORMAL,
                  int x = 600, int y = 400)
    {
        ClientSetup setup;
        setup.x = x;
        setup.y = y;
        if (name)
            setup.name = string_text(*name);
        setup.wm_state = state;
        setup.mapped = state != ICONIC;
        return wm->create_client(setup);
    }

    // A plain window inside `parent`, with a name and WM_STATE when given.
    Window child_of(Window parent, std::optional<std::string> name, std::optional<long> state)
    {
        const Window window = XCreateSimpleWindow(dpy, parent, 0, 0, 50, 50, 0, 0, 0);
        if (name)
            XStoreName(dpy, window, name->c_str());
        sync(dpy);  // the window must exist before the other connection marks it
        if (state)
            wm->set_wm_state(window, state);
        XMapWindow(dpy, window);
        sync(dpy);
        return window;
    }

    // Starts the switcher with the pointer at (x, y) and finds its pop-up: the
    // new child of the root named "vokSwitch", once it is viewable.
    void start_switcher(int x = 200, int y = 150, MarkingWm* manager = nullptr)
    {
        move_pointer(dpy, x, y);
        const auto before = stacking_order(dpy);
        switcher.emplace(program_path("switcher"));
        const bool found = wait_until([&] {
            if (manager)
                manager->pump();
            for (Window window : stacking_order(dpy)) {
                if (std::find(before.begin(), before.end(), window) != before.end())
                    continue;
                const auto where = geometry(dpy, window);
                if (where && where->viewable() && name_of(dpy, window) == "vokSwitch") {
                    popup = window;
                    return true;
                }
            }
            return false;
        });
        ASSERT_TRUE(found) << switcher->stderr_text();
    }

    // Waits until the pop-up's inside has this size.
    bool popup_sized(int width, int height, MarkingWm* manager = nullptr)
    {
        return wait_until([&] {
            if (manager)
                manager->pump();
            const auto where = geometry(dpy, popup);
            return where && where->width == width && where->height == height;
        });
    }

    // What the pop-up shows for a list: white, each label in black "fixed"
    // from x = 1 on the baseline of its line, 12 pixels apart; the
    // highlighted line (0: none) in white on a black band across the
    // pop-up, from 10 pixels above its baseline to 1 below.
    std::optional<Image> expected_popup(int width, int height, const std::vector<std::string>& lines,
                                        int highlighted = 0)
    {
        const Pixmap canvas = XCreatePixmap(dpy, root, width, height, DefaultDepth(dpy, screen));
        const GC gc = XCreateGC(dpy, canvas, 0, nullptr);
        XSetForeground(dpy, gc, WhitePixel(dpy, screen));
        XFillRectangle(dpy, canvas, gc, 0, 0, width, height);
        XSetForeground(dpy, gc, BlackPixel(dpy, screen));
        if (!fixed_)
            fixed_ = XLoadQueryFont(dpy, "fixed");
        XSetFont(dpy, gc, fixed_->fid);
        for (std::size_t k = 1; k <= lines.size(); ++k) {
            const int baseline = static_cast<int>(12 * k);
            const bool lit = static_cast<int>(k) == highlighted;
            if (lit) {
                XFillRectangle(dpy, canvas, gc, 0, baseline - 10, width, 12);
                XSetForeground(dpy, gc, WhitePixel(dpy, screen));
            }
            XDrawString(dpy, canvas, gc, 1, baseline, lines[k - 1].data(),
                        static_cast<int>(lines[k - 1].size()));
            XSetForeground(dpy, gc, BlackPixel(dpy, screen));
        }
        XImage* image = XGetImage(dpy, canvas, 0, 0, width, height, AllPlanes, ZPixmap);
        XFreeGC(dpy, gc);
        XFreePixmap(dpy, canvas);
        if (!image)
            return std::nullopt;
        return Image(image);
    }

    // Waits until the pop-up shows exactly these lines, with that one highlighted.
    bool popup_shows(const std::vector<std::string>& lines, int highlighted = 0)
    {
        return wait_until([&] {
            const auto shown = capture(dpy, popup);
            if (!shown)
                return false;
            const auto expected = expected_popup(shown->width(), shown->height(), lines, highlighted);
            for (int y = 0; y < shown->height(); ++y)
                for (int x = 0; x < shown->width(); ++x)
                    if (shown->at(x, y) != expected->at(x, y))
                        return false;
            return true;
        });
    }

    // Moves the pointer to height y inside the pop-up (0: just below its top border).
    void point_inside(int y)
    {
        const auto where = geometry(dpy, popup);
        ASSERT_TRUE(where);
        move_pointer(dpy, where->x + where->border_width + 5, where->y + where->border_width + y);
    }

    void click_inside(int y, unsigned button = 1)
    {
        point_inside(y);
        click(dpy, button);
    }

    // The exit status, once it has ended.
    std::optional<int> exit_status() { return switcher->wait_exit(20s); }

    std::optional<ScriptedWm> wm;
    std::optional<Program> switcher;
    Window popup = None;

private:
    XFontStruct* fixed_ = nullptr;
};

}  // namespace switcher_test
