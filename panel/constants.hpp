// Sizes of the bar and its parts, in pixels.
#pragma once

constexpr int PANEL_HEIGHT = 24;
constexpr int COLLAPSED_HEIGHT = 2;
constexpr int ICON_SIZE = 16;
constexpr int DESK_BUTTON_WIDTH = 24;
