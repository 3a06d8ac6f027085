// Reading window properties: one at a time through Xlib, or many requested
// together through the connection's XCB side and collected later.
#pragma once

#include "display_state.hpp"

#include "window_name.hpp"

#include <xcb/xcb.h>

#include <cstddef>
#include <optional>

// Reads the whole of `property` in one request. Returns Xlib's data pointer
// (release with XFree) or nullptr; *item_count, when given, gets Xlib's
// item count. Format-32 items are indexed as long.
unsigned char* fetch_property(Window window, Atom property, Atom required_type,
                              unsigned long* item_count = nullptr);

// A whole property as Xlib delivers it: 8-bit data as bytes, 16-bit as
// shorts, 32-bit as longs, followed by a NUL; no data when the property is
// absent or the read failed. Owns the data.
class PropertyData {
public:
    PropertyData() = default;
    ~PropertyData();
    PropertyData(PropertyData&& other) noexcept;
    PropertyData& operator=(PropertyData&& other) noexcept;
    PropertyData(const PropertyData&) = delete;
    PropertyData& operator=(const PropertyData&) = delete;

    // One request, one round trip.
    static PropertyData read(Window window, Atom property, Atom required_type);

    const unsigned char* data() const { return data_; }
    Atom type() const { return type_; }
    int format() const { return format_; }
    unsigned long items() const { return items_; }
    // The data as text, for the title rules.
    PropertyText text() const;

private:
    friend class PropertyRequest;
    void release();

    unsigned char* data_ = nullptr;
    bool from_xlib_ = true;  // released with XFree, else with free
    Atom type_ = None;
    int format_ = 0;
    unsigned long items_ = 0;
};

// A property read sent now and collected later: many of them leave in one
// buffer and cost one round trip together. Errors (a window that has gone)
// come back with the reply, past Xlib's error handler, and read as absent.
// A request never collected is discarded when it goes.
class PropertyRequest {
public:
    PropertyRequest() = default;  // asks nothing; collects absent
    PropertyRequest(Window window, Atom property, Atom required_type);
    ~PropertyRequest();
    PropertyRequest(PropertyRequest&& other) noexcept;
    PropertyRequest& operator=(PropertyRequest&& other) noexcept;
    PropertyRequest(const PropertyRequest&) = delete;
    PropertyRequest& operator=(const PropertyRequest&) = delete;

    // Waits for the reply unless it is there; what PropertyData::read would
    // have returned. A second call returns absent.
    PropertyData collect();
    // Whether it asked something and was not collected yet.
    bool pending() const { return pending_; }
    // The request's sequence number on the connection.
    unsigned int sequence() const { return cookie_.sequence; }

private:
    void discard();

    xcb_get_property_cookie_t cookie_{};
    bool pending_ = false;
};

// The format-32 items of a whole property, released when the holder goes.
// Data of another format (8 or 16 bits, which Xlib does not widen to long)
// and a property of another type both read as no items, so a query that
// needs item n simply asks has(n).
class PropertyItems {
public:
    PropertyItems(Window window, Atom property, Atom required_type);
    explicit PropertyItems(PropertyData data);
    explicit PropertyItems(PropertyRequest& request) : PropertyItems(request.collect()) {}

    // Whether any data came back: the property exists, of whatever type.
    bool present() const { return data_.data() != nullptr; }
    // Whether the data holds item `index` (counted from 0).
    bool has(std::size_t index) const { return index < count_; }
    std::size_t size() const { return count_; }
    long operator[](std::size_t index) const { return items_[index]; }
    // Item `index` when the data holds it.
    std::optional<long> item(std::size_t index) const;
    const long* begin() const { return items_; }
    const long* end() const { return items_ + count_; }

private:
    PropertyData data_;
    const long* items_ = nullptr;
    std::size_t count_ = 0;
};

// An X resource id carried in a format-32 item: only the low 32 bits count
// (Xlib sign-extends items into 64-bit longs).
XID xid_item(long item);

// The connection's XCB side, for requests sent without waiting.
xcb_connection_t* xcb_side();
