#include "labels.hpp"

#include "utf8.hpp"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view ELLIPSIS = "...";
constexpr std::string_view NAMELESS = "unknown";

// a - b, or 0 when b is larger; keeps the cuts sane for tiny buffers.
std::size_t less(std::size_t a, std::size_t b)
{
    return a > b ? a - b : 0;
}

// Appends text after the first length bytes, never past the terminator's slot.
std::size_t append(char* buffer, std::size_t size, std::size_t length, std::string_view text)
{
    const std::size_t count = std::min(text.size(), size - 1 - length);
    std::memcpy(buffer + length, text.data(), count);
    length += count;
    buffer[length] = '\0';
    return length;
}

// The name, or at most its first keep bytes and "..." when it has limit
// bytes or more; a UTF-8 name keeps whole characters.
std::size_t append_cut(char* buffer, std::size_t size, std::size_t length,
                       std::string_view name, std::size_t limit, std::size_t keep, bool utf8)
{
    // Only buffers smaller than a label's leave less room than asked for.
    const std::size_t room = size - 1 - length;
    if (name.size() < limit)
        return append(buffer, size, length, utf8 ? name.substr(0, utf8_prefix_within(name, room)) : name);
    keep = std::min(keep, room);
    if (utf8)
        keep = utf8_prefix_within(name, keep);
    length = append(buffer, size, length, name.substr(0, keep));
    return append(buffer, size, length, ELLIPSIS);
}

}  // namespace

std::size_t format_label(std::optional<std::string_view> name, long state,
                         char* buffer, std::size_t size, bool utf8)
{
    if (size == 0)
        return 0;
    buffer[0] = '\0';
    if (!name)
        return append(buffer, size, 0, NAMELESS);
    if (state == NORMAL_STATE)
        return append_cut(buffer, size, 0, *name, size, less(size, 4), utf8);
    std::size_t length = append(buffer, size, 0, "(");
    length = append_cut(buffer, size, length, *name, less(size, 2), less(size, 6), utf8);
    return append(buffer, size, length, ")");
}

std::size_t label_characters(const Label& label)
{
    return label.utf8 ? utf8_length(label.view()) : label.length;
}

bool is_popup_label(std::string_view label)
{
    return label == POPUP_TITLE;
}

int row_at(int y)
{
    // Signed division truncates toward zero: y from -6 to 16 is row 1.
    // Widened so that no int y overflows.
    const long long row = (static_cast<long long>(y) - 5) / LINE_HEIGHT + 1;
    return static_cast<int>(row);
}

bool row_is_listed(int row, int entry_count)
{
    return row >= 1 && row <= entry_count && row < ENTRY_SLOTS;
}

int band_top(int row)
{
    return row * LINE_HEIGHT - (LINE_HEIGHT - 2);
}

bool press_is_on_popup(int x, int y, unsigned width, unsigned height, unsigned border)
{
    // Widened: a press far off a huge window must not wrap around.
    const long long low = -static_cast<long long>(border);
    return x >= low && x < static_cast<long long>(width) + border &&
           y >= low && y < static_cast<long long>(height) + border;
}

PopupSize popup_size(int entry_count, unsigned max_label_length)
{
    const unsigned length = std::max(max_label_length, MIN_LABEL_LENGTH);
    const unsigned lines = static_cast<unsigned>(std::max(entry_count, 0));
    return {5 * length + 10, LINE_HEIGHT * lines + 5};
}
