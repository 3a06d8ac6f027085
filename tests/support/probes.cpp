#include "probes.hpp"

#include "wait.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <cstring>

namespace kit_test {

Atom atom(Display* dpy, const char* name)
{
    return XInternAtom(dpy, name, False);
}

std::string atom_name(Display* dpy, Atom atom)
{
    if (atom == None)
        return "None";
    char* name = XGetAtomName(dpy, atom);
    if (!name)
        return "?";
    std::string result = name;
    XFree(name);
    return result;
}

// ---- Geometry ---------------------------------------------------------------

std::optional<Geometry> geometry(Display* dpy, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, window, &attributes))
        return std::nullopt;
    int x = 0, y = 0;
    Window child;
    if (!XTranslateCoordinates(dpy, window, attributes.root, 0, 0, &x, &y, &child))
        return std::nullopt;
    Geometry result;
    result.x = x - attributes.border_width;
    result.y = y - attributes.border_width;
    result.width = attributes.width;
    result.height = attributes.height;
    result.border_width = attributes.border_width;
    result.map_state = attributes.map_state;
    return result;
}

// ---- Properties -------------------------------------------------------------

std::optional<PropertyBytes> property_bytes(Display* dpy, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    // A million 32-bit units is more than any test property.
    if (XGetWindowProperty(dpy, window, property, 0, 1 << 20, False, AnyPropertyType, &type,
                           &format, &items, &after, &data) != Success)
        return std::nullopt;
    if (type == None) {
        if (data)
            XFree(data);
        return std::nullopt;
    }
    const size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
    PropertyBytes result;
    result.type = type;
    result.format = format;
    if (data) {
        result.bytes.assign(reinterpret_cast<const char*>(data), items * unit);
        XFree(data);
    }
    return result;
}

std::optional<PropertyBytes> property_bytes(Display* dpy, Window window, const char* property)
{
    return property_bytes(dpy, window, atom(dpy, property));
}

std::optional<Property32> property32(Display* dpy, Window window, Atom property)
{
    const auto raw = property_bytes(dpy, window, property);
    if (!raw || raw->format != 32)
        return std::nullopt;
    Property32 result;
    result.type = raw->type;
    result.items.resize(raw->bytes.size() / sizeof(long));
    // An empty property (a window manager's empty _NET_WM_STATE) has no
    // data to copy, and memcpy must not see the null pointers.
    if (!result.items.empty())
        std::memcpy(result.items.data(), raw->bytes.data(), result.items.size() * sizeof(long));
    return result;
}

std::optional<Property32> property32(Display* dpy, Window window, const char* property)
{
    return property32(dpy, window, atom(dpy, property));
}

// ---- Pixels -----------------------------------------------------------------

Image::Image(XImage* image) : image_(image, [](XImage* i) { XDestroyImage(i); }) {}

int Image::width() const
{
    return image_->width;
}

int Image::height() const
{
    return image_->height;
}

unsigned long Image::at(int x, int y) const
{
    return XGetPixel(image_.get(), x, y);
}

int Image::count(unsigned long pixel, int x, int y, int width, int height) const
{
    if (width < 0)
        width = this->width() - x;
    if (height < 0)
        height = this->height() - y;
    int n = 0;
    for (int row = y; row < y + height; ++row)
        for (int column = x; column < x + width; ++column)
            n += at(column, row) == pixel;
    return n;
}

std::optional<Image> capture(Display* dpy, Window window, int x, int y, int width, int height)
{
    XImage* image = XGetImage(dpy, window, x, y, width, height, AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    return Image(image);
}

std::optional<Image> capture(Display* dpy, Window window)
{
    const auto where = geometry(dpy, window);
    if (!where)
        return std::nullopt;
    return capture(dpy, window, 0, 0, where->width, where->height);
}

std::optional<unsigned long> pixel(Display* dpy, Window window, int x, int y)
{
    const auto image = capture(dpy, window, x, y, 1, 1);
    if (!image)
        return std::nullopt;
    return image->at(0, 0);
}

unsigned long alloc_panel_color(Display* dpy, unsigned short red, unsigned short green,
                                unsigned short blue)
{
    XColor color{};
    color.red = red;
    color.green = green;
    color.blue = blue;
    XAllocColor(dpy, DefaultColormap(dpy, DefaultScreen(dpy)), &color);
    return color.pixel;
}

unsigned long panel_pixel(Display* dpy, PanelColor color)
{
    static constexpr unsigned short rgb[6][3] = {
        {0xD75C, 0xD75C, 0xD75C},  // face
        {0xBEFB, 0xBAEA, 0xBEFB},  // face_pressed
        {0xAEFB, 0xAAEA, 0xAEFB},  // face_spare
        {0xEFBE, 0xEFBE, 0xEFBE},  // highlight
        {0x8617, 0x8207, 0x8617},  // shadow
        {0x0000, 0x0000, 0x0000},  // ink
    };
    const auto& c = rgb[static_cast<int>(color)];
    return alloc_panel_color(dpy, c[0], c[1], c[2]);
}

// ---- Windows ------------------------------------------------------------------


namespace {

std::vector<Window> children_of(Display* dpy, Window window)
{
    Window root_return, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(dpy, window, &root_return, &parent, &children, &count)) {
        result.assign(children, children + count);
        if (children)
            XFree(children);
    }
    return result;
}

std::optional<Window> find_below(Display* dpy, Window parent, Atom property, std::optional<long> value)
{
    const auto children = children_of(dpy, parent);
    for (Window window : children) {
        const auto items = property32(dpy, window, property);
        if (items && (!value || (!items->items.empty() && items->items[0] == *value)))
            return window;
    }
    for (Window window : children) {
        if (const auto found = find_below(dpy, window, property, value))
            return found;
    }
    return std::nullopt;
}

}  // namespace

std::vector<Window> stacking_order(Display* dpy)
{
    return children_of(dpy, DefaultRootWindow(dpy));
}

std::optional<Window> find_window_with_property(Display* dpy, const char* property,
                                                std::optional<long> value)
{
    return find_below(dpy, DefaultRootWindow(dpy), atom(dpy, property), value);
}

std::optional<Window> find_panel_window(Display* dpy)
{
    return find_window_with_property(dpy, "_WIN_LAYER", 10);
}

std::optional<Window> wait_for_panel_window(Display* dpy, std::chrono::milliseconds timeout)
{
    std::optional<Window> found;
    wait_until(
        [&] {
            found = find_panel_window(dpy);
            if (!found)
                return false;
            const auto where = geometry(dpy, *found);
            return where && where->viewable();
        },
        timeout);
    if (found) {
        const auto where = geometry(dpy, *found);
        if (!where || !where->viewable())
            return std::nullopt;
    }
    return found;
}

Window focused_window(Display* dpy)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    return focus;
}

bool keyboard_grabbed_elsewhere(Display* dpy)
{
    const int status = XGrabKeyboard(dpy, DefaultRootWindow(dpy), False, GrabModeAsync,
                                     GrabModeAsync, CurrentTime);
    if (status == GrabSuccess)
        XUngrabKeyboard(dpy, CurrentTime);
    XSync(dpy, False);
    return status == AlreadyGrabbed;
}

long all_event_masks(Display* dpy, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, window, &attributes))
        return 0;
    return attributes.all_event_masks;
}

// ---- Server-side resources ------------------------------------------------------

std::optional<ResourceCounts> client_resources(Display* dpy, XID owned_resource)
{
    int event_base, error_base;
    if (!XResQueryExtension(dpy, &event_base, &error_base))
        return std::nullopt;
    int client_count = 0;
    XResClient* clients = nullptr;
    if (!XResQueryClients(dpy, &client_count, &clients))
        return std::nullopt;
    std::optional<XID> base;
    for (int i = 0; i < client_count; ++i) {
        if ((owned_resource & ~clients[i].resource_mask) == clients[i].resource_base)
            base = clients[i].resource_base;
    }
    if (clients)
        XFree(clients);
    if (!base)
        return std::nullopt;

    int type_count = 0;
    XResType* types = nullptr;
    if (!XResQueryClientResources(dpy, *base, &type_count, &types))
        return std::nullopt;
    ResourceCounts counts;
    const Atom window = atom(dpy, "WINDOW"), pixmap = atom(dpy, "PIXMAP"), gc = atom(dpy, "GC"),
               font = atom(dpy, "FONT");
    for (int i = 0; i < type_count; ++i) {
        const int n = static_cast<int>(types[i].count);
        counts.total += n;
        if (types[i].resource_type == window)
            counts.windows += n;
        else if (types[i].resource_type == pixmap)
            counts.pixmaps += n;
        else if (types[i].resource_type == gc)
            counts.gcs += n;
        else if (types[i].resource_type == font)
            counts.fonts += n;
    }
    if (types)
        XFree(types);
    return counts;
}

}  // namespace kit_test
