// Reads sent together and collected later give exactly what one read at a
// time gives: for odd properties, for windows that vanish meanwhile, and
// for whole records.
#include "records_in_process.hpp"

#include <X11/Xatom.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using kit_test::ClientSetup;

int x_errors = 0;
int count_x_error(Display*, XErrorEvent*)
{
    ++x_errors;
    return 0;
}

class BatchedReads : public RecordsInProcess {
protected:
    static void expect_same(const PropertyData& one, const PropertyData& batched, const std::string& what)
    {
        EXPECT_EQ(batched.type(), one.type()) << what;
        EXPECT_EQ(batched.format(), one.format()) << what;
        EXPECT_EQ(batched.items(), one.items()) << what;
        ASSERT_EQ(batched.data() == nullptr, one.data() == nullptr) << what;
        if (one.data()) {
            // The data as delivered, with the NUL after it.
            const std::size_t bytes = delivered_bytes(one.format(), one.items()) + 1;
            EXPECT_EQ(std::memcmp(batched.data(), one.data(), bytes), 0) << what;
        }
    }
};

TEST_F(BatchedReads, odd_properties_read_together_equal_the_one_at_a_time_reads)
{
    struct Case {
        const char* type;
        int format;
        std::vector<long> items;  // none: the property is absent
        const char* required;     // nullptr: any type
    };
    const Case cases[] = {
        {"CARDINAL", 32, {1, 2, 3}, "CARDINAL"},
        {"CARDINAL", 32, {0xFFFFFFFF, 0x80000000, 0x7FFFFFFF}, "CARDINAL"},  // sign-extended
        {"CARDINAL", 32, {}, "CARDINAL"},
        {"CARDINAL", 8, {1, 0, 2}, "CARDINAL"},
        {"CARDINAL", 16, {4, 0xFFFF}, "CARDINAL"},
        {"WM_STATE", 32, {3, 0}, "CARDINAL"},  // another type: no items
        {"ATOM", 32, {1}, nullptr},
        {"STRING", 8, {'a', 0, 'b'}, nullptr},
        {"COMPOUND_TEXT", 8, {0x1b, 0x2d, 0x41, 0xe9}, nullptr},
        {"CARDINAL", 32, {}, nullptr},
        {nullptr, 0, {}, "CARDINAL"},
    };
    const Window gone = wm->create_client();
    wm->destroy(gone);
    std::vector<Window> windows;
    std::vector<PropertyRequest> requests;
    for (const Case& c : cases) {
        const Window w = wm->create_client();
        if (c.type)
            wm->set_property(w, "ODD", c.type, c.format, c.items);
        windows.push_back(w);
    }
    windows.push_back(gone);
    flush_and_wait();
    const Atom odd = XInternAtom(ds.display, "ODD", False);
    auto required = [&](std::size_t i) {
        return i < std::size(cases) && cases[i].required ? XInternAtom(ds.display, cases[i].required, False)
                                                         : AnyPropertyType;
    };
    // All sent before any is collected.
    for (std::size_t i = 0; i < windows.size(); ++i)
        requests.emplace_back(windows[i], odd, required(i));
    x_errors = 0;
    XSetErrorHandler(count_x_error);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const std::string what = "case " + std::to_string(i);
        expect_same(PropertyData::read(windows[i], odd, required(i)), requests[i].collect(), what);
        EXPECT_EQ(PropertyItems(windows[i], odd, required(i)).size(),
                  PropertyItems(PropertyRequest(windows[i], odd, required(i)).collect()).size())
            << what;
    }
    flush_and_wait();
    // The vanished window's error went with its reply, except the Xlib read's.
    EXPECT_EQ(x_errors, 2);
    XSetErrorHandler(ignore_x_error);
}

TEST_F(BatchedReads, a_window_destroyed_between_request_and_reply_reads_as_absent_without_an_error)
{
    const Window w = wm->create_client();
    wm->set_property(w, "_WIN_WORKSPACE", "CARDINAL", 32, {2});
    flush_and_wait();
    PropertyRequest request(w, ds.atoms[WinWorkspace], XA_CARDINAL);
    PropertyRequest discarded(w, ds.atoms[WinHints], XA_CARDINAL);
    wm->destroy(w);
    x_errors = 0;
    XSetErrorHandler(count_x_error);
    // Sent (the XCB side flushes as it waits) only now, after the destruction.
    const PropertyItems workspace(request);
    EXPECT_FALSE(workspace.present());
    EXPECT_FALSE(workspace.has(0));
    discarded = PropertyRequest();
    flush_and_wait();
    EXPECT_EQ(x_errors, 0);
    XSetErrorHandler(ignore_x_error);
}

TEST_F(BatchedReads, records_made_together_equal_records_read_one_at_a_time)
{
    const Pixmap picture = wm->create_pixmap(20, 12, ds.depth, [](int x, int y) { return x * 9 + y; });
    const Pixmap mask = wm->create_bitmap(20, 12, [](int x, int y) { return (x + y) % 3; });
    std::vector<ClientSetup> setups(9);
    setups[0].name = kit_test::compound_text("caf\xe9");
    setups[0].wm_state = IconicState;
    setups[1].wm_hints = kit_test::WmHintsSetup{.icon = picture, .mask = mask};
    setups[2].wm_hints = kit_test::WmHintsSetup{.icon = 0x7ffffff};  // names nothing
    setups[3].workspace = 1;
    setups[4].win_hints = 4;
    std::vector<Window> windows;
    for (const ClientSetup& setup : setups)
        windows.push_back(wm->create_client(setup));
    wm->set_bytes_property(windows[5], "_NET_WM_NAME", "UTF8_STRING", "\xff\xfe");
    wm->set_property(windows[5], "_NET_WM_ICON", "CARDINAL", 32, {1, 1, 0xff00ff00});
    wm->set_property(windows[6], "KWM_WIN_ICON", "KWM_WIN_ICON", 32, {long(picture), long(mask)});
    wm->set_property(windows[7], "_NET_WM_WINDOW_TYPE", "ATOM", 32,
                     {long(ds.atoms[NetWmWindowTypeDock])});
    wm->destroy(windows[8]);  // gone: a record with no title, as one at a time
    flush_and_wait();

    track_windows(panel, windows.data(), windows.size(), windows[1]);
    ASSERT_EQ(panel.client_count, 6);  // not: desktop 1, the skip bit, the dock
    for (const TrackedWindow* r = panel.first_client; r; r = r->next) {
        const std::string what = "window " + std::to_string(r->window);
        TrackedWindow one;
        one.window = r->window;
        one.title = read_title(r->window, nullptr, &one.title_kind);
        load_kwm_icon(one);
        if (one.icon == None)
            load_hints_icon(one);
        EXPECT_EQ(r->title, one.title) << what;
        EXPECT_EQ(r->title_kind.encoding, one.title_kind.encoding) << what;
        EXPECT_EQ(r->title_kind.from_net_wm_name, one.title_kind.from_net_wm_name) << what;
        EXPECT_EQ(r->minimized, is_minimized(r->window)) << what;
        EXPECT_EQ(r->active, r->window == windows[1]) << what;
        EXPECT_EQ(r->owns_icon, one.owns_icon) << what;
        if (one.owns_icon) {
            EXPECT_EQ(icon_pixels(r->icon), icon_pixels(one.icon)) << what;
            EXPECT_EQ(icon_pixels(r->icon_mask), icon_pixels(one.icon_mask)) << what;
            XFreePixmap(ds.display, one.icon);
            if (one.icon_mask != None)
                XFreePixmap(ds.display, one.icon_mask);
        } else {
            EXPECT_EQ(r->icon, one.icon) << what;
            EXPECT_EQ(r->icon_mask, one.icon_mask) << what;
        }
    }
}

}  // namespace
