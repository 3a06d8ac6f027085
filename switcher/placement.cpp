#include "placement.hpp"

#include <algorithm>

namespace {

// One axis: no further than the monitor's end allows, never before its start.
int fit_on_axis(int at, int size, int start, int length)
{
    const long long latest = static_cast<long long>(start) + length - size;
    return static_cast<int>(std::max<long long>(std::min<long long>(at, latest), start));
}

}  // namespace

Point popup_origin(Point at, int outer_width, int outer_height, Rect monitor)
{
    return {fit_on_axis(at.x, outer_width, monitor.x, monitor.width),
            fit_on_axis(at.y, outer_height, monitor.y, monitor.height)};
}
