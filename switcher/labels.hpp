// Pure rules of the switcher: labels, click rows and presses, the highlight
// band and the pop-up's size.
// Plain values in and out, no X, so the tests call them without a server.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// Bytes of one label buffer, terminator included: a label has at most 79 bytes.
constexpr std::size_t LABEL_SIZE = 80;
// Window slots of the entry table; slot 0 stays unused, so 199 windows fit.
constexpr int ENTRY_SLOTS = 200;
// Pixels between two baselines, and the height of one click row.
constexpr int LINE_HEIGHT = 12;
// The state word of WM_STATE for a window shown normally.
constexpr long NORMAL_STATE = 1;
// The pop-up's own name; a window labelled exactly so is not listed.
constexpr std::string_view POPUP_TITLE = "vokSwitch";
// Width of the pop-up's border, outside its inside size.
constexpr int POPUP_BORDER = 1;
// The pop-up is never narrower than a label of this many characters.
constexpr unsigned MIN_LABEL_LENGTH = 10;

// One line of the list: the label's bytes, and whether they are UTF-8
// (else Latin-1), kept so that a line can be drawn again on its own.
struct Label {
    char text[LABEL_SIZE] = {};
    std::size_t length = 0;
    bool utf8 = false;
    std::string_view view() const { return {text, length}; }
};

// Writes into buffer (size bytes) the terminated label of a window with this
// name (none when absent) and WM_STATE state word; returns its length in bytes.
// Normal windows show the name, others the name in parentheses; names too
// long for the buffer are cut and end in "...": a UTF-8 name to whole
// characters, a Latin-1 one to whole bytes.
std::size_t format_label(std::optional<std::string_view> name, long state,
                         char* buffer, std::size_t size, bool utf8 = false);

// The characters of a label, which the pop-up's width counts.
std::size_t label_characters(const Label& label);

// True for the one label the switcher leaves out: its own pop-up's.
bool is_popup_label(std::string_view label);

// The 1-based list row under a click at y, inside the pop-up; the top five
// pixels belong to row 1. Any int is accepted; the row may be out of range.
int row_at(int y);

// Whether row names a window of a list of entry_count lines.
bool row_is_listed(int row, int entry_count);

// The top of row's highlight band, LINE_HEIGHT pixels high: from 10 pixels
// above the row's baseline to 1 below it, where its letters are drawn.
int band_top(int row);

// Whether a press at (x, y), relative to the pop-up's inside top-left
// corner, falls on the pop-up: its inside of width by height or its border.
bool press_is_on_popup(int x, int y, unsigned width, unsigned height, unsigned border);

struct PopupSize {
    unsigned width;
    unsigned height;
};
// Size of the pop-up for a list of entry_count lines whose longest label has
// max_label_length characters: 5 pixels each plus 10, 12 per line plus 5.
PopupSize popup_size(int entry_count, unsigned max_label_length);
