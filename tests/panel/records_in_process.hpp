// The panel's client-record code in this process, against a private server:
// the display state is filled in and the atoms interned as at start-up, and
// a Panel record with no bar window takes the tracked windows.
#pragma once

// gtest first: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include "clients.hpp"
#include "look.hpp"

#include "kit_test.hpp"
#include "fresh_display_state.hpp"

#include <X11/Xutil.h>

#include <clocale>
#include <memory>
#include <vector>

class RecordsInProcess : public kit_test::XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        if (HasFatalFailure())
            return;
        std::setlocale(LC_ALL, "C.UTF-8");  // COMPOUND_TEXT names convert to UTF-8
        ASSERT_TRUE(connect_display());
        ASSERT_TRUE(init_look());
        wm = std::make_unique<kit_test::ScriptedWm>();
    }

    void TearDown() override
    {
        while (panel.first_client)
            untrack_window(panel, panel.first_client->window);
        wm.reset();
        release_display_state();
        std::setlocale(LC_ALL, "C");
        XServerTest::TearDown();
    }

    // Pixmaps the panel's own connection holds on the server.
    int panel_pixmaps()
    {
        flush_and_wait();
        const auto counts = kit_test::client_resources(dpy, XGContextFromGC(ds.gc));
        return counts ? counts->pixmaps : -1;
    }

    // An icon-sized pixmap's pixels, row by row; none for no pixmap.
    static std::vector<unsigned long> icon_pixels(Pixmap pixmap)
    {
        std::vector<unsigned long> pixels;
        if (pixmap == None)
            return pixels;
        XImage* image = XGetImage(ds.display, pixmap, 0, 0, ICON_SIZE, ICON_SIZE, AllPlanes, ZPixmap);
        if (!image)
            return pixels;
        for (int y = 0; y < ICON_SIZE; ++y)
            for (int x = 0; x < ICON_SIZE; ++x)
                pixels.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
        return pixels;
    }

    Panel panel;
    std::unique_ptr<kit_test::ScriptedWm> wm;
};
