// The switcher's key rules, without a server: what a key sequence
// highlights or chooses, and where a press falls.
#include "keys.hpp"
#include "labels.hpp"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <tuple>

namespace {

// Keys by letter: D Down, U Up, T Tab, S Shift-Tab, L ISO_Left_Tab, R Return,
// K KP_Enter, E Escape, k KP_3, a the letter, n a key without a keysym.
const std::map<char, unsigned long> KEYSYMS = {
    {'D', XK_Down}, {'U', XK_Up},       {'T', XK_Tab},    {'S', XK_Tab}, {'L', XK_ISO_Left_Tab},
    {'R', XK_Return}, {'K', XK_KP_Enter}, {'E', XK_Escape}, {'k', XK_KP_3}, {'a', XK_a}, {'n', 0}};

// The keys one after another, as the pop-up takes them: the first that
// chooses or closes ends it.
KeyOutcome after_keys(const std::string& keys, int entry_count, int highlighted)
{
    KeyOutcome outcome{KeyOutcome::Stay, highlighted};
    for (std::size_t i = 0; i < keys.size() && outcome.action == KeyOutcome::Stay; ++i) {
        const char key = keys[i];
        const unsigned long keysym = std::isdigit(key) ? XK_0 + (key - '0') : KEYSYMS.at(key);
        outcome = after_key(keysym, key == 'S', outcome.row, entry_count);
    }
    return outcome;
}

TEST(SwitcherKeys, sequences_highlight_choose_and_close)
{
    constexpr auto STAY = KeyOutcome::Stay, CHOOSE = KeyOutcome::Choose, CLOSE = KeyOutcome::Close;
    const struct {
        const char* keys;
        int entry_count;
        int highlighted;  // before the keys; 7 is off a list of 3
        KeyOutcome outcome;
    } cases[] = {
        {"D", 3, 0, {STAY, 1}},     {"DDR", 3, 0, {CHOOSE, 2}}, {"DDDD", 3, 0, {STAY, 1}},
        {"TTK", 3, 0, {CHOOSE, 2}}, {"U", 3, 0, {STAY, 3}},     {"DU", 3, 0, {STAY, 3}},
        {"S", 3, 0, {STAY, 3}},     {"LL", 3, 0, {STAY, 2}},    {"DD1", 3, 0, {CHOOSE, 1}},
        {"k", 3, 0, {CHOOSE, 3}},   {"9", 9, 0, {CHOOSE, 9}},   {"DE", 3, 0, {CLOSE, 0}},
        {"E", 0, 0, {CLOSE, 0}},    {"DD", 1, 0, {STAY, 1}},    {"U", 1, 0, {STAY, 1}},
        // Nothing to choose, or a key it does not use: the highlight stays.
        {"R", 3, 0, {STAY, 0}},     {"D4", 3, 0, {STAY, 1}},    {"D0an", 3, 0, {STAY, 1}},
        {"DUTSR1", 0, 0, {STAY, 0}},
        // Only rows of the table, and of the list as it is now.
        {"U", 100000, 0, {STAY, ENTRY_SLOTS - 1}}, {"D", -5, 0, {STAY, 0}},
        {"R", 3, 7, {STAY, 0}},     {"D", 3, 7, {STAY, 1}},     {"U", 3, 7, {STAY, 3}},
    };
    for (const auto& [keys, entry_count, highlighted, outcome] : cases)
        EXPECT_EQ(after_keys(keys, entry_count, highlighted), outcome) << keys << " on " << entry_count;
}

TEST(SwitcherPress, the_border_is_on_the_pop_up_and_a_pixel_further_is_not)
{
    // A 60 by 41 inside with a 1-pixel border spans -1 to 60 and -1 to 41.
    for (const auto& [x, y, on] : {std::tuple{-1, -1, true}, {60, 41, true}, {-2, 20, false},
                                   {61, 20, false}, {30, -2, false}, {30, 42, false},
                                   {-2147483647 - 1, 0, false}, {2147483647, 2147483647, false}})
        EXPECT_EQ(press_is_on_popup(x, y, 60, 41, 1), on) << x << ", " << y;
}

}  // namespace
