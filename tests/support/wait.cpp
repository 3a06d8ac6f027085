#include "wait.hpp"

#include <thread>

namespace kit_test {

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

void sync(Display* dpy)
{
    XSync(dpy, False);
}

}  // namespace kit_test
