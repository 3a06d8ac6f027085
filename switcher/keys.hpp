// Pure rules of the keyboard in the pop-up: which row a key highlights or
// chooses. Keysyms and plain numbers in and out, no X, so the tests call
// them without a server.
#pragma once

// What a key press does to the list.
struct KeyOutcome {
    enum Action {
        Stay,    // the list stays open; row is the highlighted row (0: none)
        Choose,  // row is chosen, as a click on it would choose it
        Close,   // the program ends, raising nothing
    };
    Action action = Stay;
    int row = 0;
    friend bool operator==(const KeyOutcome&, const KeyOutcome&) = default;
};

// The outcome of the X keysym `keysym` on a list of entry_count rows of
// which row `highlighted` is highlighted (0, or a row off the list: none).
// `shift` says whether Shift was held, for keyboard maps that give
// Shift-Tab no keysym of its own. Down and Tab highlight the next row, Up and Shift-Tab
// the previous one, both wrapping; Return and KP_Enter choose the
// highlighted row, the digits 1 to 9 their row; Escape closes. Other keys,
// and keys naming no listed row, leave everything as it is.
KeyOutcome after_key(unsigned long keysym, bool shift, int highlighted, int entry_count);
