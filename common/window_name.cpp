#include "window_name.hpp"

#include "utf8.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <memory>

namespace {

std::string_view first_string(std::string_view bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

struct StringListDeleter {
    void operator()(char** list) const { XFreeStringList(list); }
};
using XStringList = std::unique_ptr<char*, StringListDeleter>;

// The text converted to UTF-8 by Xlib: the converters to UTF-8 work in
// every locale Xlib supports, the C locale included.
std::optional<std::string> converted_to_utf8(Display* display, Atom encoding, std::string_view text)
{
    XTextProperty property{};
    property.value = reinterpret_cast<unsigned char*>(const_cast<char*>(text.data()));
    property.encoding = encoding;
    property.format = 8;
    property.nitems = text.size();
    char** raw_list = nullptr;
    int count = 0;
    const int result = Xutf8TextPropertyToTextList(display, &property, &raw_list, &count);
    const XStringList list(raw_list);
    // A positive result counts characters that had no equivalent and were
    // replaced; the rest converted.
    if (result < 0 || !list || count <= 0 || !list.get()[0])
        return std::nullopt;
    return valid_utf8(list.get()[0]);
}

}  // namespace

std::optional<WindowName> name_from_net_wm_name(const PropertyText& value, Atom utf8_string)
{
    if (value.type != utf8_string || value.format != 8)
        return std::nullopt;
    const std::string_view text = first_string(value.bytes);
    if (text.empty() || !is_valid_utf8(text))
        return std::nullopt;
    return WindowName{std::string(text), TextEncoding::Utf8};
}

WindowName name_from_wm_name(Display* display, const PropertyText& value, Atom utf8_string)
{
    const std::string_view text = first_string(value.bytes);
    if (value.format == 8 && value.type == utf8_string)
        return {valid_utf8(text), TextEncoding::Utf8};
    if (value.format == 8 && value.type != XA_STRING && !text.empty()) {
        if (auto converted = converted_to_utf8(display, value.type, text))
            return {std::move(*converted), TextEncoding::Utf8};
    }
    return {std::string(text), TextEncoding::Latin1};
}

std::size_t delivered_bytes(int format, unsigned long items)
{
    switch (format) {
    case 8: return items;
    case 16: return items * sizeof(short);
    case 32: return items * sizeof(long);
    default: return 0;
    }
}
