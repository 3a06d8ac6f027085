// Reading results back from the server: geometry, properties, pixels,
// focus, stacking, event masks and a client's resources.
#pragma once

// GoogleTest first: Xlib defines None and Bool as macros that break its headers.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kit_test {

using namespace std::chrono_literals;

Atom atom(Display* dpy, const char* name);  // interned, created if missing
std::string atom_name(Display* dpy, Atom atom);

// ---- Geometry ---------------------------------------------------------------

struct Geometry {
    int x = 0;  // root coordinates of the window's outer top-left corner
    int y = 0;
    int width = 0;
    int height = 0;
    int border_width = 0;
    int map_state = IsUnmapped;  // IsUnmapped, IsUnviewable, IsViewable
    bool viewable() const { return map_state == IsViewable; }
};
// nullopt when the window does not exist.
std::optional<Geometry> geometry(Display* dpy, Window window);

// ---- Properties -------------------------------------------------------------

struct Property32 {
    Atom type = None;
    std::vector<long> items;  // one long per 32-bit item, as Xlib delivers them
};
// A format-32 property, whatever its type; nullopt when absent or not format 32.
std::optional<Property32> property32(Display* dpy, Window window, Atom property);
std::optional<Property32> property32(Display* dpy, Window window, const char* property);

struct PropertyBytes {
    Atom type = None;
    int format = 0;
    std::string bytes;  // raw data as Xlib delivers it (format 32: longs)
};
std::optional<PropertyBytes> property_bytes(Display* dpy, Window window, Atom property);
std::optional<PropertyBytes> property_bytes(Display* dpy, Window window, const char* property);

// ---- Pixels -----------------------------------------------------------------

class Image {
public:
    explicit Image(XImage* image);
    int width() const;
    int height() const;
    unsigned long at(int x, int y) const;
    // Number of pixels equal to `pixel` in the rectangle (whole image by default).
    int count(unsigned long pixel, int x = 0, int y = 0, int width = -1, int height = -1) const;

private:
    std::shared_ptr<XImage> image_;
};

// XGetImage (ZPixmap) of the window's contents, or of a part of it; nullopt
// when the window is gone or not viewable.
std::optional<Image> capture(Display* dpy, Window window);
std::optional<Image> capture(Display* dpy, Window window, int x, int y, int width, int height);
std::optional<unsigned long> pixel(Display* dpy, Window window, int x, int y);

// The pixel the panel gets for a colour: XAllocColor on the default
// colormap with the same 16-bit values, so no expected pixel is hard-coded.
unsigned long alloc_panel_color(Display* dpy, unsigned short red, unsigned short green,
                                unsigned short blue);

// The six panel colours by index (face, face_pressed, face_spare,
// highlight, shadow, ink) with their 16-bit values.
enum class PanelColor { Face, FacePressed, FaceSpare, Highlight, Shadow, Ink };
unsigned long panel_pixel(Display* dpy, PanelColor color);

// ---- Windows ------------------------------------------------------------------

// Children of the root, bottom of the stack first (XQueryTree order).
std::vector<Window> stacking_order(Display* dpy);

// A window whose format-32 `property` exists and, when `value` is given,
// holds it as its first item: the children of the root first, then inside
// each of them in turn (where a window manager's frame puts a client).
std::optional<Window> find_window_with_property(Display* dpy, const char* property,
                                                std::optional<long> value = std::nullopt);
// The panel's bar: the window with _WIN_LAYER 10, framed or not.
std::optional<Window> find_panel_window(Display* dpy);
// Waits until the bar exists and is viewable; nullopt on time-out.
std::optional<Window> wait_for_panel_window(Display* dpy, std::chrono::milliseconds timeout = 10s);

// XGetInputFocus.
Window focused_window(Display* dpy);

// Whether another client holds the keyboard grabbed: a grab of it on this
// connection is refused (one that succeeds is let go at once).
bool keyboard_grabbed_elsewhere(Display* dpy);

// The union of every client's event mask on `window` (all_event_masks).
long all_event_masks(Display* dpy, Window window);

// ---- Server-side resources (X-Resource extension) ---------------------------

struct ResourceCounts {
    int windows = 0;
    int pixmaps = 0;
    int gcs = 0;
    int fonts = 0;
    int total = 0;  // every resource type, those above included
};
// The resources of the client that owns `owned_window` (any id it created).
std::optional<ResourceCounts> client_resources(Display* dpy, XID owned_resource);

}  // namespace kit_test
