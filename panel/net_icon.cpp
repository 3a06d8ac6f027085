#include "net_icon.hpp"

#include "properties.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// Larger images are taken as garbage: nobody draws a 16-pixel button from them.
constexpr unsigned long MAX_ICON_SIDE = 4096;

struct ImageRef {
    unsigned long width = 0;
    unsigned long height = 0;
    const long* pixels = nullptr;
};

std::uint32_t item32(long item)
{
    return static_cast<std::uint32_t>(static_cast<unsigned long>(item) & 0xFFFFFFFFUL);
}

// Distance from the wanted size: images at or above 16 come first, nearest first.
bool better_choice(unsigned long side, unsigned long best_side)
{
    const bool fits = side >= ICON_SIZE;
    const bool best_fits = best_side >= ICON_SIZE;
    if (fits != best_fits)
        return fits;
    return fits ? side < best_side : side > best_side;
}

}  // namespace

std::optional<IconImage> choose_net_wm_icon(const long* items, unsigned long count)
{
    if (!items)
        return std::nullopt;
    std::optional<ImageRef> best;
    unsigned long at = 0;
    while (at < count) {
        if (count - at < 2)
            return std::nullopt;
        const unsigned long width = item32(items[at]);
        const unsigned long height = item32(items[at + 1]);
        if (width == 0 || height == 0 || width > MAX_ICON_SIDE || height > MAX_ICON_SIDE)
            return std::nullopt;
        const unsigned long size = width * height;
        if (count - at - 2 < size)
            return std::nullopt;
        const ImageRef image{width, height, items + at + 2};
        const unsigned long side = std::max(width, height);
        if (!best || better_choice(side, std::max(best->width, best->height)))
            best = image;
        at += 2 + size;
    }
    if (!best)
        return std::nullopt;

    IconImage sampled{};
    for (int y = 0; y < ICON_SIZE; ++y) {
        const unsigned long sy = y * best->height / ICON_SIZE;
        for (int x = 0; x < ICON_SIZE; ++x) {
            const unsigned long sx = x * best->width / ICON_SIZE;
            sampled[y * ICON_SIZE + x] = item32(best->pixels[sy * best->width + sx]);
        }
    }
    return sampled;
}

std::array<unsigned char, ICON_SIZE * ICON_SIZE / 8> icon_alpha_mask(const IconImage& image)
{
    std::array<unsigned char, ICON_SIZE * ICON_SIZE / 8> bits{};
    for (int i = 0; i < ICON_SIZE * ICON_SIZE; ++i) {
        if ((image[i] >> 24) >= 0x80)
            bits[i / 8] |= static_cast<unsigned char>(1u << (i % 8));
    }
    return bits;
}

namespace {

// Position of a TrueColor channel: shift of its lowest bit and its width.
int lowest_bit(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

unsigned long channel(std::uint32_t value8, unsigned long mask)
{
    const int shift = lowest_bit(mask);
    const unsigned long max = mask >> shift;
    return ((value8 * max + 127) / 255) << shift;
}

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

// Draws the picture into a new pixmap of the root's depth; None when the
// default visual cannot take direct colour values.
Pixmap make_icon_pixmap(Window window, const IconImage& image)
{
    Visual* visual = DefaultVisual(ds.display, ds.screen);
    if (visual->c_class != TrueColor && visual->c_class != DirectColor)
        return None;
    char* data = static_cast<char*>(std::calloc(ICON_SIZE * ICON_SIZE, 4));
    if (!data)
        return None;
    std::unique_ptr<XImage, ImageDeleter> ximage(XCreateImage(
        ds.display, visual, ds.depth, ZPixmap, 0, data, ICON_SIZE, ICON_SIZE, 32, 0));
    if (!ximage) {
        std::free(data);
        return None;
    }
    for (int y = 0; y < ICON_SIZE; ++y) {
        for (int x = 0; x < ICON_SIZE; ++x) {
            const std::uint32_t argb = image[y * ICON_SIZE + x];
            XPutPixel(ximage.get(), x, y,
                      channel((argb >> 16) & 0xFF, visual->red_mask) |
                          channel((argb >> 8) & 0xFF, visual->green_mask) |
                          channel(argb & 0xFF, visual->blue_mask));
        }
    }
    const Pixmap pixmap = XCreatePixmap(ds.display, window, ICON_SIZE, ICON_SIZE, ds.depth);
    XPutImage(ds.display, pixmap, ds.gc, ximage.get(), 0, 0, 0, 0, ICON_SIZE, ICON_SIZE);
    return pixmap;
}

}  // namespace

bool load_net_wm_icon(TrackedWindow& record)
{
    return set_net_wm_icon(record, PropertyItems(record.window, ds.atoms[NetWmIcon], XA_CARDINAL));
}

bool set_net_wm_icon(TrackedWindow& record, const PropertyItems& items)
{
    const std::optional<IconImage> image = choose_net_wm_icon(items.begin(), items.size());
    if (!image)
        return false;

    const Pixmap icon = make_icon_pixmap(record.window, *image);
    if (icon == None)
        return false;
    auto bits = icon_alpha_mask(*image);
    record.icon = icon;
    record.icon_mask = XCreateBitmapFromData(ds.display, record.window,
                                             reinterpret_cast<const char*>(bits.data()),
                                             ICON_SIZE, ICON_SIZE);
    record.owns_icon = true;
    return true;
}
