// An in-process bar on a private server: the panel's own start-up code
// builds it, the tests call the drawing routines and read the pixels back on
// the harness connection.
#pragma once

// gtest first: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include "display_state.hpp"
#include "draw.hpp"
#include "look.hpp"

#include "kit_test.hpp"
#include "fresh_display_state.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace draw_test {

using kit_test::Image;
using Points = std::set<std::pair<int, int>>;

class BarTest : public kit_test::XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        ASSERT_TRUE(connect_display());
        ASSERT_TRUE(init_look());
        ASSERT_NE(panel = create_panel(), nullptr);
        XSync(ds.display, False);
        ASSERT_TRUE(kit_test::wait_until([&] {
            const auto g = kit_test::geometry(dpy, panel->window);
            return g && g->viewable();
        }));
        s = ds.screen_width;
    }

    void TearDown() override
    {
        release_display_state();
        delete panel;
        XServerTest::TearDown();
    }

    unsigned long color(ColorIndex index) const { return ds.panel_colors[index]; }

    Image shot()
    {
        XSync(ds.display, False);
        return kit_test::capture(dpy, panel->window).value();
    }

    TrackedWindow& add_client(std::optional<std::string> title, bool active = false,
                              bool minimized = false)
    {
        TrackedWindow& record = records.emplace_back();
        record.title = std::move(title);
        record.active = active;
        record.minimized = minimized;
        TrackedWindow** link = &panel->first_client;
        while (*link)
            link = &(*link)->next;
        *link = &record;
        ++panel->client_count;
        return record;
    }

    void set_desktop_count(long count)
    {
        XChangeProperty(dpy, root, kit_test::atom(dpy, "_WIN_WORKSPACE_COUNT"), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&count), 1);
        kit_test::sync(dpy);
    }

    // A marker colour under everything, so that whatever is left undrawn shows.
    void cover_bar(ColorIndex index)
    {
        set_ink(index);
        fill_rect(*panel, 0, 0, s, PANEL_HEIGHT);
    }

    // The pixels the bar's font sets for `text` at (x, y), drawn off-screen.
    Points glyphs(const std::string& text, int x, int y)
    {
        return drawn_points(ds.font->fid, [&](Pixmap canvas, GC gc) {
            XDrawString(dpy, canvas, gc, x, y, text.data(), static_cast<int>(text.size()));
        });
    }

    // The same for 16-bit text in another font.
    Points glyphs16(const std::vector<XChar2b>& text, int x, int y, Font font)
    {
        return drawn_points(font, [&](Pixmap canvas, GC gc) {
            XDrawString16(dpy, canvas, gc, x, y, text.data(), static_cast<int>(text.size()));
        });
    }

    Points drawn_points(Font font, const std::function<void(Pixmap, GC)>& draw)
    {
        const Pixmap canvas = XCreatePixmap(dpy, root, s, PANEL_HEIGHT, ds.depth);
        XGCValues values{};
        values.font = font;  // fonts are server resources, shared by id
        const GC gc = XCreateGC(dpy, canvas, GCFont, &values);
        XFillRectangle(dpy, canvas, gc, 0, 0, s, PANEL_HEIGHT);  // foreground 0
        XSetForeground(dpy, gc, 1);
        draw(canvas, gc);
        XImage* image = XGetImage(dpy, canvas, 0, 0, s, PANEL_HEIGHT, AllPlanes, ZPixmap);
        Points points;
        for (int py = 0; py < PANEL_HEIGHT; ++py)
            for (int px = 0; px < s; ++px)
                if (XGetPixel(image, px, py))
                    points.emplace(px, py);
        XDestroyImage(image);
        XFreeGC(dpy, gc);
        XFreePixmap(dpy, canvas);
        return points;
    }

    Panel* panel = nullptr;
    int s = 0;                          // the bar's width
    std::deque<TrackedWindow> records;  // stable addresses for the list links
};

// Inside the inclusive rectangle, `text` points have `ink` and all others
// `paper`; reports the first pixel that differs.
inline ::testing::AssertionResult area_is(const Image& image, int x0, int y0, int x1, int y1,
                                          unsigned long paper, const Points& text = {},
                                          unsigned long ink = 0)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const unsigned long expected = text.count({x, y}) ? ink : paper;
            if (image.at(x, y) != expected)
                return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is " << std::hex
                                                     << image.at(x, y) << ", not " << expected;
        }
    return ::testing::AssertionSuccess();
}

}  // namespace draw_test
