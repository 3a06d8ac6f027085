#include "monitor_rules.hpp"

#include <algorithm>

Rect clamp_to_screen(Rect rect, int screen_width, int screen_height)
{
    // Wide arithmetic: a monitor may claim any 32-bit size.
    const long long left = std::max<long long>(rect.x, 0);
    const long long top = std::max<long long>(rect.y, 0);
    const long long right = std::min<long long>(static_cast<long long>(rect.x) + rect.width, screen_width);
    const long long bottom = std::min<long long>(static_cast<long long>(rect.y) + rect.height, screen_height);
    if (rect.width <= 0 || rect.height <= 0 || right <= left || bottom <= top)
        return {};
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
            static_cast<int>(bottom - top)};
}

std::vector<MonitorArea> usable_monitors(const std::vector<MonitorArea>& monitors,
                                         int screen_width, int screen_height)
{
    std::vector<MonitorArea> usable;
    for (const MonitorArea& monitor : monitors) {
        const Rect rect = clamp_to_screen(monitor.rect, screen_width, screen_height);
        if (rect.width > 0)
            usable.push_back({rect, monitor.primary});
    }
    if (usable.empty())
        usable.push_back({{0, 0, std::max(screen_width, 1), std::max(screen_height, 1)}, true});
    return usable;
}

Rect monitor_at(const std::vector<MonitorArea>& monitors, int x, int y, int screen_width,
                int screen_height)
{
    const std::vector<MonitorArea> usable = usable_monitors(monitors, screen_width, screen_height);
    for (const MonitorArea& monitor : usable) {
        const Rect& r = monitor.rect;
        if (x >= r.x && x - r.x < r.width && y >= r.y && y - r.y < r.height)
            return r;
    }
    return usable.front().rect;
}
