// The switcher's keys, without a server: which row a key sequence
// highlights or chooses, and what closes the list.
#include "keys.hpp"
#include "labels.hpp"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

struct Stroke {
    unsigned long keysym;
    bool shift = false;
};

// The keys pressed one after another from no highlight, as the pop-up
// takes them: it ends at the first key that chooses or closes.
KeyOutcome after_keys(const std::vector<Stroke>& strokes, int entry_count)
{
    KeyOutcome outcome;
    for (const Stroke& stroke : strokes) {
        outcome = after_key(stroke.keysym, stroke.shift, outcome.row, entry_count);
        if (outcome.action != KeyOutcome::Stay)
            break;
    }
    return outcome;
}

constexpr KeyOutcome highlight(int row) { return {KeyOutcome::Stay, row}; }
constexpr KeyOutcome choose(int row) { return {KeyOutcome::Choose, row}; }
constexpr KeyOutcome CLOSE{KeyOutcome::Close, 0};

TEST(SwitcherKeys, sequences_highlight_and_choose_rows)
{
    const Stroke down{XK_Down}, up{XK_Up}, tab{XK_Tab}, shift_tab{XK_Tab, true},
        left_tab{XK_ISO_Left_Tab}, enter{XK_Return}, kp_enter{XK_KP_Enter}, escape{XK_Escape};
    const struct {
        std::vector<Stroke> strokes;
        int entry_count;
        KeyOutcome outcome;
    } cases[] = {
        {{down}, 3, highlight(1)},
        {{down, down, enter}, 3, choose(2)},
        {{down, down, down, down}, 3, highlight(1)},  // wraps at the end
        {{tab, tab, kp_enter}, 3, choose(2)},
        {{up}, 3, highlight(3)},                       // from none, the last row
        {{down, up}, 3, highlight(3)},                 // wraps at the top
        {{up, up, up, up}, 3, highlight(3)},
        {{shift_tab}, 3, highlight(3)},
        {{left_tab, left_tab}, 3, highlight(2)},
        {{{XK_ISO_Left_Tab, true}}, 3, highlight(3)},
        {{down, down, {XK_1}}, 3, choose(1)},
        {{{XK_3}}, 3, choose(3)},
        {{{XK_KP_3}}, 3, choose(3)},
        {{{XK_9}}, 9, choose(9)},
        {{down, escape}, 3, CLOSE},
        {{escape}, 0, CLOSE},
        {{down, down}, 1, highlight(1)},
        {{up}, 1, highlight(1)},
        // Nothing to choose: the highlight stays where it was.
        {{enter}, 3, highlight(0)},
        {{down, {XK_4}}, 3, highlight(1)},
        {{down, {XK_0}, {XK_KP_0}, {XK_a}, {XK_F1}, {XK_Left}, {0 /* NoSymbol */}}, 3, highlight(1)},
        {{down, {XK_Return, true}}, 3, choose(1)},  // Shift changes nothing else
        // An empty list has no rows to highlight or choose.
        {{down, up, tab, shift_tab, enter, {XK_1}}, 0, highlight(0)},
        // A count past the table: only the table's rows.
        {{up}, 100000, highlight(ENTRY_SLOTS - 1)},
        {{down}, -5, highlight(0)},
    };
    for (const auto& [strokes, entry_count, outcome] : cases) {
        const KeyOutcome got = after_keys(strokes, entry_count);
        EXPECT_EQ(got.action, outcome.action) << strokes.size() << " keys on " << entry_count << " rows";
        EXPECT_EQ(got.row, outcome.row) << strokes.size() << " keys on " << entry_count << " rows";
    }
}

TEST(SwitcherKeys, a_highlight_left_past_a_shorter_list_counts_as_none)
{
    EXPECT_EQ(after_key(XK_Return, false, 7, 3), highlight(0));
    EXPECT_EQ(after_key(XK_Down, false, 7, 3), highlight(1));
    EXPECT_EQ(after_key(XK_Up, false, 7, 3), highlight(3));
    EXPECT_EQ(after_key(XK_a, false, 7, 3), highlight(0));
    EXPECT_EQ(after_key(XK_Return, false, -1, 3), highlight(0));
}

TEST(SwitcherPress, presses_on_the_inside_or_the_border_are_on_the_pop_up)
{
    // A 60 by 41 inside with a 1-pixel border spans -1 to 60 and -1 to 41.
    for (const auto& [x, y, on] : {std::tuple{0, 0, true}, {-1, -1, true}, {60, 41, true},
                                   {-2, 20, false}, {61, 20, false}, {30, -2, false},
                                   {30, 42, false}, {-2147483647 - 1, 0, false},
                                   {2147483647, 2147483647, false}})
        EXPECT_EQ(press_is_on_popup(x, y, 60, 41, 1), on) << x << ", " << y;
    EXPECT_FALSE(press_is_on_popup(0, 0, 0, 0, 0));
    EXPECT_TRUE(press_is_on_popup(-5, 2147483647, 10, 4294967295u, 5));
}

}  // namespace
