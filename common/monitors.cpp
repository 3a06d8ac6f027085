#include "monitors.hpp"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace {

std::vector<MonitorArea> randr_monitors(Display* display, Window root)
{
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) ||
        !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105)
        return {};
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(display, root, True, &count);
    std::vector<MonitorArea> monitors;
    for (int i = 0; info && i < count; ++i)
        monitors.push_back({{info[i].x, info[i].y, info[i].width, info[i].height},
                            info[i].primary != 0});
    if (info)
        XRRFreeMonitors(info);
    return monitors;
}

std::vector<MonitorArea> xinerama_heads(Display* display)
{
    int event_base = 0, error_base = 0;
    if (!XineramaQueryExtension(display, &event_base, &error_base) || !XineramaIsActive(display))
        return {};
    int count = 0;
    XineramaScreenInfo* heads = XineramaQueryScreens(display, &count);
    std::vector<MonitorArea> monitors;
    for (int i = 0; heads && i < count; ++i)
        monitors.push_back({{heads[i].x_org, heads[i].y_org, heads[i].width, heads[i].height},
                            i == 0});
    if (heads)
        XFree(heads);
    return monitors;
}

}  // namespace

std::vector<MonitorArea> query_monitors(Display* display, Window root)
{
    std::vector<MonitorArea> monitors = randr_monitors(display, root);
    if (monitors.size() >= 2)
        return monitors;
    monitors = xinerama_heads(display);
    if (monitors.size() >= 2)
        return monitors;
    return {};
}
