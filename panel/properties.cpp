#include "properties.hpp"

#include <X11/Xlib-xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// The layout Xlib gives a reply's data: 32-bit items widened to
// sign-extended longs, 16-bit ones as shorts, bytes as they are; always
// one NUL more. nullptr when memory runs out, as Xlib then gives none.
unsigned char* delivered_copy(const xcb_get_property_reply_t& reply)
{
    const void* value = xcb_get_property_value(&reply);
    const std::size_t count = reply.value_len;
    const std::size_t bytes = delivered_bytes(reply.format, count);
    auto* copy = static_cast<unsigned char*>(std::malloc(bytes + 1));
    if (!copy)
        return nullptr;
    if (reply.format == 32) {
        const auto* words = static_cast<const std::int32_t*>(value);
        long* items = reinterpret_cast<long*>(copy);
        for (std::size_t i = 0; i < count; ++i)
            items[i] = words[i];
    } else if (bytes > 0) {
        std::memcpy(copy, value, bytes);
    }
    copy[bytes] = 0;
    return copy;
}

}  // namespace

xcb_connection_t* xcb_side()
{
    return XGetXCBConnection(ds.display);
}

unsigned char* fetch_property(Window window, Atom property, Atom required_type,
                              unsigned long* item_count)
{
    Atom actual_type = None;
    int actual_format = 0;
    unsigned long items = 0;
    unsigned long bytes_after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(ds.display, window, property, 0, 0x7fffffff, False, required_type,
                       &actual_type, &actual_format, &items, &bytes_after, &data);
    if (item_count)
        *item_count = items;
    return data;
}

// ---- PropertyData ---------------------------------------------------------

PropertyData::~PropertyData()
{
    release();
}

PropertyData::PropertyData(PropertyData&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), from_xlib_(other.from_xlib_),
      type_(other.type_), format_(other.format_), items_(other.items_)
{
}

PropertyData& PropertyData::operator=(PropertyData&& other) noexcept
{
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        from_xlib_ = other.from_xlib_;
        type_ = other.type_;
        format_ = other.format_;
        items_ = other.items_;
    }
    return *this;
}

void PropertyData::release()
{
    if (!data_)
        return;
    if (from_xlib_)
        XFree(data_);
    else
        std::free(data_);
    data_ = nullptr;
}

PropertyData PropertyData::read(Window window, Atom property, Atom required_type)
{
    PropertyData read;
    int format = 0;
    unsigned long bytes_after = 0;
    XGetWindowProperty(ds.display, window, property, 0, 0x7fffffff, False, required_type,
                       &read.type_, &format, &read.items_, &bytes_after, &read.data_);
    read.format_ = format;
    return read;
}

PropertyText PropertyData::text() const
{
    const std::string_view bytes(reinterpret_cast<const char*>(data_),
                                 data_ ? delivered_bytes(format_, items_) : 0);
    return {type_, format_, bytes};
}

// ---- PropertyRequest ------------------------------------------------------

PropertyRequest::PropertyRequest(Window window, Atom property, Atom required_type)
    : cookie_(xcb_get_property(xcb_side(), 0, static_cast<xcb_window_t>(window),
                               static_cast<xcb_atom_t>(property),
                               static_cast<xcb_atom_t>(required_type), 0, 0x7fffffff)),
      pending_(true)
{
}

PropertyRequest::~PropertyRequest()
{
    discard();
}

PropertyRequest::PropertyRequest(PropertyRequest&& other) noexcept
    : cookie_(other.cookie_), pending_(std::exchange(other.pending_, false))
{
}

PropertyRequest& PropertyRequest::operator=(PropertyRequest&& other) noexcept
{
    if (this != &other) {
        discard();
        cookie_ = other.cookie_;
        pending_ = std::exchange(other.pending_, false);
    }
    return *this;
}

void PropertyRequest::discard()
{
    // A checked request's error goes with its reply.
    if (pending_)
        xcb_discard_reply(xcb_side(), cookie_.sequence);
    pending_ = false;
}

PropertyData PropertyRequest::collect()
{
    PropertyData collected;
    if (!pending_)
        return collected;
    pending_ = false;
    xcb_generic_error_t* error = nullptr;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(xcb_side(), cookie_, &error);
    std::free(error);
    if (!reply)
        return collected;
    // No such property; or a format no server sends, which Xlib refuses.
    const bool usable = reply->type != XCB_ATOM_NONE &&
                        (reply->format == 8 || reply->format == 16 || reply->format == 32);
    if (usable) {
        collected.data_ = delivered_copy(*reply);
        collected.from_xlib_ = false;
        if (collected.data_) {
            collected.type_ = reply->type;
            collected.format_ = reply->format;
            collected.items_ = reply->value_len;
        }
    } else if (reply->type == XCB_ATOM_NONE) {
        collected.format_ = reply->format;
    }
    std::free(reply);
    return collected;
}

// ---- PropertyItems --------------------------------------------------------

PropertyItems::PropertyItems(Window window, Atom property, Atom required_type)
    : PropertyItems(PropertyData::read(window, property, required_type))
{
}

PropertyItems::PropertyItems(PropertyData data) : data_(std::move(data))
{
    // Xlib widens only format-32 data to one long per item; 8- and 16-bit
    // data indexed as long would run past the buffer.
    if (data_.data() && data_.format() == 32) {
        items_ = reinterpret_cast<const long*>(data_.data());
        count_ = data_.items();
    }
}

std::optional<long> PropertyItems::item(std::size_t index) const
{
    if (!has(index))
        return std::nullopt;
    return items_[index];
}

XID xid_item(long item)
{
    return static_cast<XID>(static_cast<std::uint32_t>(item));
}
