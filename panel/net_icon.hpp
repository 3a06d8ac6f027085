// Icons from _NET_WM_ICON: a list of ARGB images, each given as width,
// height and width x height pixels, one format-32 item (a long) apiece.
#pragma once

#include "display_state.hpp"
#include "properties.hpp"

#include <array>
#include <cstdint>
#include <optional>

// A 16 by 16 picture in ARGB, rows top to bottom.
using IconImage = std::array<std::uint32_t, ICON_SIZE * ICON_SIZE>;

// Picks the image nearest to 16 pixels at or above it (else the largest)
// and samples it down or up to 16 by 16 with the nearest pixel. Data that
// overruns itself, or an image of zero or absurd size, counts as no icon.
std::optional<IconImage> choose_net_wm_icon(const long* items, unsigned long count);

// 16 by 16 depth-1 bitmap rows (2 bytes each, least significant bit
// first) with a bit set where alpha is at least half.
std::array<unsigned char, ICON_SIZE * ICON_SIZE / 8> icon_alpha_mask(const IconImage& image);

// Reads the window's _NET_WM_ICON and makes an owned icon and mask from it.
// Returns false, creating nothing, when the window offers none.
bool load_net_wm_icon(TrackedWindow& record);
// The same from the property's items as read.
bool set_net_wm_icon(TrackedWindow& record, const PropertyItems& items);
