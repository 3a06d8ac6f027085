// A window's name from the values of its _NET_WM_NAME and WM_NAME as a
// property read returned them: the programs fetch, these decide, so a read
// made in any way gives the same name.
#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <string_view>

enum class TextEncoding : unsigned char { Latin1, Utf8 };

// A fetched property: its type, format and the data as delivered.
struct PropertyText {
    Atom type = None;
    int format = 0;
    std::string_view bytes;
};

struct WindowName {
    std::string text;
    TextEncoding encoding = TextEncoding::Latin1;
};

// What _NET_WM_NAME names: its text up to the first NUL when it is an 8-bit
// UTF8_STRING, valid UTF-8 and not empty; otherwise nullopt, and WM_NAME
// speaks instead.
std::optional<WindowName> name_from_net_wm_name(const PropertyText& value, Atom utf8_string);

// What WM_NAME names, of which only the first NUL-separated string counts:
// a STRING as its Latin-1 bytes; a UTF8_STRING as UTF-8 with U+FFFD for
// bad sequences; COMPOUND_TEXT or any other encoding converted to UTF-8
// whatever the locale, or, where that fails, its raw bytes as Latin-1.
WindowName name_from_wm_name(Display* display, const PropertyText& value, Atom utf8_string);

// The bytes of a property's data as Xlib delivers `items` of `format`
// (format-32 items arrive as longs).
std::size_t delivered_bytes(int format, unsigned long items);
