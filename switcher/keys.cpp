#include "keys.hpp"

#include "labels.hpp"

#include <X11/keysym.h>

#include <algorithm>

namespace {

// The row a digit key names, keypad digits included; 0 for other keys.
int digit_row(unsigned long keysym)
{
    if (keysym >= XK_1 && keysym <= XK_9)
        return static_cast<int>(keysym - XK_1) + 1;
    if (keysym >= XK_KP_1 && keysym <= XK_KP_9)
        return static_cast<int>(keysym - XK_KP_1) + 1;
    return 0;
}

int next_row(int highlighted, int rows)
{
    if (rows == 0)
        return 0;
    return row_is_listed(highlighted, rows) && highlighted < rows ? highlighted + 1 : 1;
}

int previous_row(int highlighted, int rows)
{
    if (rows == 0)
        return 0;
    return row_is_listed(highlighted, rows) && highlighted > 1 ? highlighted - 1 : rows;
}

}  // namespace

KeyOutcome after_key(unsigned long keysym, bool shift, int highlighted, int entry_count)
{
    // Only rows the table can hold are ever highlighted or chosen.
    const int rows = std::clamp(entry_count, 0, ENTRY_SLOTS - 1);
    const int kept = row_is_listed(highlighted, rows) ? highlighted : 0;
    switch (keysym) {
    case XK_Tab:
        if (shift)
            return {KeyOutcome::Stay, previous_row(highlighted, rows)};
        return {KeyOutcome::Stay, next_row(highlighted, rows)};
    case XK_Down:
        return {KeyOutcome::Stay, next_row(highlighted, rows)};
    case XK_ISO_Left_Tab:  // Shift-Tab where the map gives it a keysym
    case XK_Up:
        return {KeyOutcome::Stay, previous_row(highlighted, rows)};
    case XK_Return:
    case XK_KP_Enter:
        if (kept)
            return {KeyOutcome::Choose, kept};
        return {KeyOutcome::Stay, 0};
    case XK_Escape:
        return {KeyOutcome::Close, 0};
    default:
        break;
    }
    const int row = digit_row(keysym);
    if (row_is_listed(row, rows))
        return {KeyOutcome::Choose, row};
    return {KeyOutcome::Stay, kept};
}
