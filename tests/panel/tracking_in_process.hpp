// The panel's own code in this process, against a private server: events
// are handed to the handlers directly and the records read back. Repaints
// are seen by marks the test paints on the buttons: only a repaint of a
// button removes its mark.
#pragma once

#include "kit_test.hpp"

#include "clients.hpp"
#include "display_state.hpp"
#include "draw.hpp"
#include "look.hpp"
#include "tracking.hpp"
#include "fresh_display_state.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

using namespace kit_test;

class InProcessPanel : public XServerTest {
protected:
    static constexpr unsigned long MARK = 0xff00ff;

    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        std::setlocale(LC_ALL, "C.UTF-8");  // as the panel's setlocale(LC_ALL, "") would
        wm = std::make_unique<ScriptedWm>();
        wm->set_win_workspace(0);
        ASSERT_TRUE(connect_display());
        ASSERT_TRUE(init_look());
        panel = create_panel();
        ASSERT_NE(panel, nullptr);
        flush_and_wait();
    }

    void TearDown() override
    {
        if (panel) {
            while (panel->first_client)
                untrack_window(*panel, panel->first_client->window);
            delete panel;
        }
        release_display_state();
        wm.reset();
        std::setlocale(LC_ALL, "C");
        XServerTest::TearDown();
    }

    Window client(const std::string& title = "xy", long desktop = 0)
    {
        ClientSetup setup;
        setup.name = string_text(title);
        setup.workspace = desktop;
        setup.wm_state = 1;
        return wm->create_client(setup);
    }

    void changed(Window window, Atom atom)
    {
        on_property_notify(*panel, window, atom);
        flush_and_wait();
    }
    void root_changed(AtomIndex atom) { changed(ds.root, ds.atoms[atom]); }

    std::vector<Window> tracked(bool only_active = false)
    {
        std::vector<Window> windows;
        for (const TrackedWindow* r = panel->first_client; r; r = r->next)
            if (r->active || !only_active)
                windows.push_back(r->window);
        return windows;
    }
    TrackedWindow& record(Window window)
    {
        TrackedWindow* r = find_tracked(*panel, window);
        if (!r)
            throw std::runtime_error("no record");
        return *r;
    }

    void focus(Window window)
    {
        XSetInputFocus(dpy, window, RevertToNone, CurrentTime);
        sync(dpy);
    }

    // Lays the buttons out, paints them, and marks each one.
    void paint_and_mark()
    {
        redraw_panel(*panel);
        flush_and_wait();
        GC gc = XCreateGC(dpy, panel->window, 0, nullptr);
        XSetForeground(dpy, gc, MARK);
        for (const TrackedWindow* r = panel->first_client; r; r = r->next)
            XFillRectangle(dpy, panel->window, gc, r->button_left + r->button_width - 4, 11, 2, 2);
        XFreeGC(dpy, gc);
        sync(dpy);
    }
    bool repainted(Window window)
    {
        const TrackedWindow& r = record(window);
        return pixel(dpy, panel->window, r.button_left + r.button_width - 3, 12) != MARK;
    }

    std::unique_ptr<ScriptedWm> wm;
    Panel* panel = nullptr;
};
