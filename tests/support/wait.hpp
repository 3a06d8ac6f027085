// Waiting on observable conditions instead of sleeping.
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros that break its headers.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <chrono>
#include <functional>

namespace kit_test {

using namespace std::chrono_literals;

// Polls `condition` every few milliseconds until it holds or `timeout`
// runs out; returns whether it held. Checks once more at the deadline.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = 5s);

// A round trip: every request sent on `dpy` so far has been processed.
void sync(Display* dpy);

}  // namespace kit_test
