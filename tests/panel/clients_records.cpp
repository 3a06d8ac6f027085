// Which client windows get a button record, and what the record holds:
// title, state, icon and the pixmaps it owns, read back from the server.
#include "records_in_process.hpp"

#include <X11/Xatom.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using kit_test::ClientSetup;
using kit_test::WmHintsSetup;

class ClientRecords : public RecordsInProcess {
protected:
    Window client(ClientSetup setup = {}) { return wm->create_client(setup); }

    TrackedWindow* track(const ClientSetup& setup, int active = 0)
    {
        const Window window = client(setup);
        track_window(panel, window, active);
        return find_tracked(panel, window);
    }

    std::optional<std::string> title_of(kit_test::TextValue name)
    {
        ClientSetup setup;
        setup.name = std::move(name);
        return read_title(client(setup));
    }

    // A client whose WM_HINTS icon has pixel x | y << 8 at (x, y).
    TrackedWindow* track_patterned_icon(int width, int height)
    {
        ClientSetup setup;
        setup.wm_hints = WmHintsSetup{};
        setup.wm_hints->icon = wm->create_pixmap(width, height, ds.depth,
                                                [](int x, int y) { return x | y << 8; });
        return track(setup);
    }
};

bool pixmap_exists(Pixmap pixmap)
{
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    return XGetGeometry(ds.display, pixmap, &root, &x, &y, &width, &height, &border, &depth);
}

// ---- Which windows get a record -------------------------------------------

TEST_F(ClientRecords, windows_on_another_desktop_get_no_button)
{
    ClientSetup on_desktop_1;
    on_desktop_1.workspace = 1;
    EXPECT_EQ(track(on_desktop_1), nullptr);
    panel.desktop = 1;
    EXPECT_NE(track(on_desktop_1), nullptr);
    EXPECT_EQ(panel.client_count, 1);
}

TEST_F(ClientRecords, a_window_asking_to_skip_task_bars_gets_no_button)
{
    ClientSetup skipping;
    skipping.win_hints = 4;
    EXPECT_EQ(track(skipping), nullptr);
    ClientSetup other_hints;
    other_hints.win_hints = 1 | 2 | 8;
    EXPECT_NE(track(other_hints), nullptr);
}

TEST_F(ClientRecords, a_window_without_a_desktop_shows_only_on_desktop_0)
{
    EXPECT_NE(track({}), nullptr);
    panel.desktop = 2;
    EXPECT_EQ(track({}), nullptr);
    EXPECT_EQ(panel.client_count, 1);
}

TEST_F(ClientRecords, the_bar_never_lists_itself)
{
    Panel* bar = create_panel();
    ASSERT_NE(bar, nullptr);
    track_window(*bar, bar->window, 1);
    EXPECT_EQ(bar->first_client, nullptr);
    EXPECT_EQ(bar->client_count, 0);
    delete bar;
}

TEST_F(ClientRecords, buttons_keep_the_order_windows_were_added_and_removal_relinks_them)
{
    const Window a = client(), b = client(), c = client();
    for (Window w : {a, b, c})
        track_window(panel, w, w == b ? 3 : 2);  // only bit 0 of `active` counts
    ASSERT_EQ(panel.client_count, 3);
    EXPECT_EQ(panel.first_client->window, a);
    EXPECT_FALSE(find_tracked(panel, a)->active);
    EXPECT_TRUE(find_tracked(panel, b)->active);

    untrack_window(panel, 12345);  // no such record: nothing changes
    EXPECT_EQ(panel.client_count, 3);
    untrack_window(panel, b);
    EXPECT_EQ(panel.client_count, 2);
    EXPECT_EQ(find_tracked(panel, b), nullptr);
    EXPECT_EQ(panel.first_client->next->window, c);
    EXPECT_EQ(panel.first_client->next->next, nullptr);
}

TEST_F(ClientRecords, a_tracked_window_reports_its_destruction_focus_and_property_changes)
{
    ClientSetup iconic;
    iconic.wm_state = 3;
    TrackedWindow* record = track(iconic);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->minimized);
    EXPECT_FALSE(track({})->minimized);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(ds.display, record->window, &attributes));
    EXPECT_EQ(attributes.your_event_mask, 0x620000);
}

// A window opening has its facts asked for before it is known to belong;
// one that does not is left with what this connection selected on it.
TEST_F(ClientRecords, a_window_left_off_the_bar_keeps_the_selection_it_had)
{
    ClientSetup elsewhere;
    elsewhere.workspace = 1;
    const Window windows[] = {client(elsewhere), client(elsewhere), client({})};
    XSelectInput(ds.display, windows[0], PropertyChangeMask);  // as the tray selects on an icon
    track_windows(panel, windows, 3, None);
    const long expected[] = {PropertyChangeMask, NoEventMask, TRACKED_CLIENT_EVENTS};
    for (int i = 0; i < 3; ++i) {
        XWindowAttributes attributes{};
        ASSERT_TRUE(XGetWindowAttributes(ds.display, windows[i], &attributes));
        EXPECT_EQ(attributes.your_event_mask, expected[i]) << i;
    }
    EXPECT_EQ(panel.client_count, 1);
}

// ---- Odd property data ----------------------------------------------------

TEST_F(ClientRecords, short_or_odd_typed_properties_count_as_absent)
{
    const Window w = client();
    wm->set_property(w, "_WIN_WORKSPACE", "CARDINAL", 8, {1});  // bytes, not longs
    wm->set_property(w, "_WIN_HINTS", "CARDINAL", 16, {4});
    wm->set_property(w, "WM_STATE", "CARDINAL", 32, {3});  // wrong type
    EXPECT_EQ(window_desktop(w), 0);
    EXPECT_FALSE(has_skip_hint(w));
    EXPECT_FALSE(is_minimized(w));
    wm->set_property(w, "_WIN_WORKSPACE", "CARDINAL", 32, {});
    EXPECT_EQ(window_desktop(w), 0);

    // Only the empty buffer of a type mismatch comes back, with no items.
    unsigned long count = 99;
    unsigned char* data = fetch_property(w, ds.atoms[WmState], ds.atoms[WmState], &count);
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(count, 0u);
    XFree(data);
    wm->destroy(w);
    EXPECT_EQ(fetch_property(w, ds.atoms[WmState], XA_CARDINAL), nullptr);
}

TEST_F(ClientRecords, icon_hints_shorter_than_their_flags_promise_give_the_fallback)
{
    const Pixmap icon = wm->create_solid_pixmap(16, 16, ds.depth, 7);
    const Window w = client();
    wm->set_property(w, "KWM_WIN_ICON", "KWM_WIN_ICON", 32, {static_cast<long>(icon)});
    wm->set_property(w, "WM_HINTS", "WM_HINTS", 32,
                     {IconPixmapHint | IconMaskHint, 0, 0, static_cast<long>(icon)});
    track_window(panel, w, 0);
    TrackedWindow* record = find_tracked(panel, w);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->icon, ds.fallback_icon);
    EXPECT_EQ(record->icon_mask, ds.fallback_mask);
    EXPECT_FALSE(record->owns_icon);

    // The same four items without the mask flag are enough.
    wm->set_property(w, "WM_HINTS", "WM_HINTS", 32,
                     {IconPixmapHint, 0, 0, static_cast<long>(icon)});
    load_hints_icon(*record);
    EXPECT_TRUE(record->owns_icon);
    EXPECT_EQ(record->icon_mask, static_cast<Pixmap>(None));
}

// ---- Titles ---------------------------------------------------------------

TEST_F(ClientRecords, titles_follow_the_name_and_its_encoding)
{
    EXPECT_EQ(title_of(kit_test::string_text("xterm")), "xterm");
    EXPECT_EQ(title_of(kit_test::string_text(std::string("first\0second", 12))), "first");
    // Latin-1 right half in compound text, converted for a UTF-8 locale.
    EXPECT_EQ(title_of(kit_test::compound_text("caf\xe9")), "caf\xc3\xa9");
    EXPECT_EQ(title_of(kit_test::compound_text(std::string("one\0two", 7))), "one");
    EXPECT_EQ(title_of({std::string("ab\xff\0cd", 6), "NO_SUCH_ENCODING", 8}), "ab\xff");
}

TEST_F(ClientRecords, an_empty_name_differs_from_a_missing_one)
{
    ClientSetup empty;
    empty.name = kit_test::string_text("");
    TrackedWindow* record = track(empty);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->title, std::optional<std::string>(""));

    TrackedWindow* nameless = track({});
    ASSERT_NE(nameless, nullptr);
    EXPECT_FALSE(nameless->title.has_value());
}

// ---- Icons ----------------------------------------------------------------

struct Sampling {
    int width, height;
    std::vector<int> columns, rows;
};
void PrintTo(const Sampling& s, std::ostream* out)
{
    *out << s.width << "x" << s.height;
}

class IconScaling : public ClientRecords, public ::testing::WithParamInterface<Sampling> {};

TEST_P(IconScaling, the_icon_shows_the_nearest_source_pixels)
{
    const Sampling& s = GetParam();
    TrackedWindow* record = track_patterned_icon(s.width, s.height);
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(record->owns_icon);
    const auto pixels = icon_pixels(record->icon);
    ASSERT_EQ(pixels.size(), 256u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(pixels[y * 16 + x], static_cast<unsigned long>(s.columns[x] | s.rows[y] << 8))
                << "at " << x << "," << y;
}

const std::vector<int> by_2{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};
const std::vector<int> by_3{0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42, 45};
const std::vector<int> twice{0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7};
const std::vector<int> of_20{0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 15, 16, 17, 18};

INSTANTIATE_TEST_SUITE_P(Sizes, IconScaling,
                         ::testing::Values(Sampling{32, 20, by_2, of_20},
                                           Sampling{48, 8, by_3, twice}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

TEST_F(ClientRecords, a_two_colour_icon_is_drawn_in_highlight_and_its_mask_is_copied)
{
    auto odd = [](int x, int y) { return (x + y) % 3 == 0; };
    ClientSetup setup;
    setup.wm_hints = WmHintsSetup{};
    setup.wm_hints->icon = wm->create_pixmap(32, 32, 1, [](int x, int) { return x % 4 == 0; });
    setup.wm_hints->mask = wm->create_bitmap(32, 32, odd);
    TrackedWindow* record = track(setup);
    ASSERT_NE(record, nullptr);

    XGCValues gc_values{};
    XGetGCValues(ds.display, ds.gc, GCBackground, &gc_values);
    const auto icon = icon_pixels(record->icon);
    const auto mask = icon_pixels(record->icon_mask);
    ASSERT_EQ(icon.size(), 256u);
    ASSERT_EQ(mask.size(), 256u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool set = (2 * x) % 4 == 0;
            EXPECT_EQ(icon[y * 16 + x], set ? ds.panel_colors[Highlight] : gc_values.background);
            EXPECT_EQ(mask[y * 16 + x], odd(2 * x, 2 * y) ? 1u : 0u) << x << "," << y;
        }
}

TEST_F(ClientRecords, a_missing_or_freed_hinted_icon_keeps_the_fallback)
{
    const int before = panel_pixmaps();
    const Pixmap freed = wm->create_solid_pixmap(16, 16, ds.depth, 1);
    wm->free_pixmap(freed);
    for (Pixmap hinted : {static_cast<Pixmap>(None), freed}) {
        ClientSetup setup;
        setup.wm_hints = WmHintsSetup{IconPixmapHint, true, hinted};
        TrackedWindow* record = track(setup);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->icon, ds.fallback_icon);
        EXPECT_EQ(record->icon_mask, ds.fallback_mask);
        EXPECT_FALSE(record->owns_icon);
    }
    EXPECT_EQ(panel_pixmaps(), before);
}

// ---- Ownership, counted on the server -------------------------------------

TEST_F(ClientRecords, removing_a_button_frees_exactly_the_pixmaps_it_made)
{
    const Pixmap icon = wm->create_solid_pixmap(24, 24, ds.depth, 5);
    const Pixmap mask = wm->create_bitmap(24, 24, [](int, int) { return true; });
    ClientSetup hinted, masked, kwm, plain;
    hinted.wm_hints = WmHintsSetup{};
    hinted.wm_hints->icon = icon;
    masked.wm_hints = WmHintsSetup{};
    masked.wm_hints->icon = icon;
    masked.wm_hints->mask = mask;
    kwm.kwm_win_icon = {icon, mask};
    plain.name = kit_test::string_text("plain");

    const std::vector<std::pair<ClientSetup, int>> cases{
        {hinted, 1}, {masked, 2}, {kwm, 0}, {plain, 0}};
    for (const auto& [setup, owned] : cases) {
        const int before = panel_pixmaps();
        TrackedWindow* record = track(setup);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(panel_pixmaps(), before + owned);
        untrack_window(panel, record->window);
        EXPECT_EQ(panel_pixmaps(), before);
    }
    // The client's own pixmaps were only copied from or borrowed.
    EXPECT_TRUE(pixmap_exists(icon));
    EXPECT_TRUE(pixmap_exists(mask));
}

TEST_F(ClientRecords, a_hundred_windows_come_and_go_without_leaving_pixmaps_or_gcs)
{
    const Pixmap icon = wm->create_solid_pixmap(32, 32, ds.depth, 9);
    const Pixmap mask = wm->create_bitmap(32, 32, [](int x, int) { return x < 16; });
    flush_and_wait();
    const auto before = kit_test::client_resources(dpy, XGContextFromGC(ds.gc));
    ASSERT_TRUE(before);
    std::vector<Window> windows;
    for (int i = 0; i < 100; ++i) {
        ClientSetup setup;
        setup.wm_hints = WmHintsSetup{};
        setup.wm_hints->icon = icon;
        if (i % 2)
            setup.wm_hints->mask = mask;
        windows.push_back(client(setup));
        track_window(panel, windows.back(), 0);
    }
    EXPECT_EQ(panel.client_count, 100);
    EXPECT_EQ(panel_pixmaps(), before->pixmaps + 150);
    for (Window w : windows)
        untrack_window(panel, w);
    flush_and_wait();
    const auto after = kit_test::client_resources(dpy, XGContextFromGC(ds.gc));
    ASSERT_TRUE(after);
    EXPECT_EQ(after->pixmaps, before->pixmaps);
    EXPECT_EQ(after->gcs, before->gcs);
    EXPECT_EQ(panel.client_count, 0);
}

}  // namespace
