// A hostile client writes random types, formats, lengths and values into
// every property the bar reads, on the root and on client windows (titles
// in every encoding, bad or truncated UTF-8 and megabytes of it); names
// pixmaps that are bogus, already freed, of depth 1 or of odd sizes; and
// destroys windows right after changing them. Throughout, the bar must stay
// alive, launch "Start" when clicked, paint itself again when uncovered and
// print nothing; at the end it holds what it held after start-up.
//
// KIT_FUZZ_SEED and KIT_FUZZ_ITERATIONS replay or lengthen a run.
#include "robust_bar.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace robust_test;

// Read by the bar now, or by the EWMH fallbacks.
const std::array ROOT_PROPERTIES = {
    "_NET_CLIENT_LIST",     "_WIN_CLIENT_LIST",        "_WIN_WORKSPACE", "_WIN_WORKSPACE_COUNT",
    "_NET_CURRENT_DESKTOP", "_NET_NUMBER_OF_DESKTOPS", "_NET_SUPPORTED", "_NET_ACTIVE_WINDOW"};
const std::array CLIENT_PROPERTIES = {
    "WM_NAME",         "WM_HINTS",      "WM_STATE",            "_WIN_WORKSPACE",
    "_WIN_HINTS",      "KWM_WIN_ICON",  "_NET_WM_DESKTOP",     "_NET_WM_STATE",
    "_NET_WM_WINDOW_TYPE", "_NET_WM_ICON", "_NET_WM_NAME"};
// Types a hostile client might give any of them.
const std::array ANY_TYPES = {"STRING", "CARDINAL", "ATOM",     "WINDOW",   "INTEGER",
                              "WM_HINTS", "WM_STATE", "KWM_WIN_ICON", "UTF8_STRING", "FUZZ_TYPE"};
const std::array ATOM_VALUES = {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_HIDDEN",
                                "_NET_WM_WINDOW_TYPE_DOCK",   "_NET_WM_WINDOW_TYPE_DESKTOP",
                                "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_CLIENT_LIST",
                                "_NET_WM_ICON",               "WM_NAME"};

class Hostile {
public:
    Hostile(const std::string& display, std::uint64_t seed, Window bar)
        : dpy_(XOpenDisplay(display.c_str())), root_(DefaultRootWindow(dpy_)), bar_(bar), rng_(seed)
    {
        int count = 0;
        int* depths = XListDepths(dpy_, DefaultScreen(dpy_), &count);
        depths_.assign(depths, depths + count);
        XFree(depths);
        for (int i = 0; i < 8; ++i)
            pixmaps_.push_back(new_pixmap());
    }
    ~Hostile() { XCloseDisplay(dpy_); }
    Hostile(const Hostile&) = delete;
    Hostile& operator=(const Hostile&) = delete;

    void step()
    {
        const unsigned roll = below(100);
        if (roll < 20) {
            write_root_property();
        } else if (roll < 55) {
            write_client_property(target());
        } else if (roll < 62) {
            // Changed and gone before the bar can read it.
            if (!clients_.empty()) {
                const Window victim = clients_[below(clients_.size())];
                write_client_property(victim);
                destroy(victim);
            }
        } else if (roll < 72) {
            if (clients_.size() < 24)
                new_client();
            if (chance(50))
                publish_clients();
        } else if (roll < 78) {
            if (!clients_.empty())
                destroy(clients_[below(clients_.size())]);
        } else if (roll < 85) {
            renew_a_pixmap();
        } else if (roll < 90) {
            const Window window = chance(30) ? root_ : target();
            const char* name = chance(30) ? ROOT_PROPERTIES[below(ROOT_PROPERTIES.size())]
                                          : CLIENT_PROPERTIES[below(CLIENT_PROPERTIES.size())];
            XDeleteProperty(dpy_, window, atom(name));
        } else {
            put(root_, "_WIN_WORKSPACE", XA_CARDINAL, 32, {0});
            publish_clients();
        }
        XFlush(dpy_);
    }

    // Ends with every client gone, empty lists and desktop 0.
    void settle()
    {
        while (!clients_.empty())
            destroy(clients_.back());
        put(root_, "_WIN_WORKSPACE", XA_CARDINAL, 32, {0});
        put(root_, "_NET_CURRENT_DESKTOP", XA_CARDINAL, 32, {0});
        put(root_, "_WIN_CLIENT_LIST", XA_CARDINAL, 32, {});
        put(root_, "_NET_CLIENT_LIST", XA_WINDOW, 32, {});
        sync();
    }

    void sync() { XSync(dpy_, False); }

    // Somewhere on the desktop buttons or the client buttons, left of the clock.
    int bar_column() { return 48 + static_cast<int>(below(DisplayWidth(dpy_, 0) - 100)); }

private:
    // ---- Randomness: the standard engine, so a seed replays everywhere ----

    unsigned long below(unsigned long n) { return n ? rng_() % n : 0; }
    bool chance(unsigned percent) { return below(100) < percent; }
    long random32() { return static_cast<long>(static_cast<std::uint32_t>(rng_())); }

    long number()
    {
        static constexpr std::array<long, 12> special = {
            0, 1, 2, 3, 4, -1, 0x7FFFFFFF, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFE, 31, 32};
        switch (below(3)) {
        case 0: return special[below(special.size())];
        case 1: return static_cast<long>(below(8));
        default: return random32();
        }
    }

    std::size_t length()
    {
        switch (below(12)) {
        case 0: return 0;
        case 1: return 1;
        case 2: case 3: case 4: case 5: return 2 + below(8);
        case 6: case 7: return 10 + below(60);
        case 8: case 9: return 100 + below(2000);
        case 10: return 2000 + below(8000);
        default: return 20000 + below(80000);
        }
    }

    // ---- Ids: live, gone, freed, foreign and made up ----

    XID some_id()
    {
        switch (below(10)) {
        case 0: case 1: if (!clients_.empty()) return clients_[below(clients_.size())]; break;
        case 2: if (!gone_.empty()) return gone_[below(gone_.size())]; break;
        case 3: return pixmaps_[below(pixmaps_.size())];
        case 4: if (!freed_.empty()) return freed_[below(freed_.size())]; break;
        case 5: return bar_;
        case 6: return root_;
        case 7: return chance(50) ? 0 : 0xFFFFFFFF;
        default: break;
        }
        return static_cast<XID>(random32());
    }

    Pixmap some_pixmap()
    {
        const unsigned roll = below(100);
        if (roll < 45)
            return pixmaps_[below(pixmaps_.size())];
        if (roll < 60 && !freed_.empty())
            return freed_[below(freed_.size())];
        if (roll < 70)
            return None;
        return some_id();
    }

    // Depth 1, the screen's, or any other the server offers; sizes from a
    // single pixel to long thin strips.
    Pixmap new_pixmap()
    {
        static constexpr std::array<std::pair<unsigned, unsigned>, 9> sizes = {
            {{1, 1}, {16, 16}, {15, 17}, {1, 64}, {64, 1}, {300, 7}, {48, 48}, {2, 2}, {3, 1000}}};
        const auto [width, height] = sizes[below(sizes.size())];
        const int depth = chance(40) ? 1 : depths_[below(depths_.size())];
        const Pixmap pixmap = XCreatePixmap(dpy_, root_, width, height, static_cast<unsigned>(depth));
        const GC gc = XCreateGC(dpy_, pixmap, 0, nullptr);
        XSetForeground(dpy_, gc, static_cast<unsigned long>(random32()));
        XFillRectangle(dpy_, pixmap, gc, 0, 0, width, height);
        XFreeGC(dpy_, gc);
        return pixmap;
    }

    // A pixmap named in hints goes away; its id stays in use.
    void renew_a_pixmap()
    {
        const std::size_t index = below(pixmaps_.size());
        XFreePixmap(dpy_, pixmaps_[index]);
        remember(freed_, pixmaps_[index]);
        pixmaps_[index] = new_pixmap();
    }

    // ---- Windows ----

    Window target()
    {
        const unsigned roll = below(100);
        if (roll < 85 && !clients_.empty())
            return clients_[below(clients_.size())];
        if (roll < 93 && !gone_.empty())
            return gone_[below(gone_.size())];
        return chance(50) ? bar_ : root_;
    }

    // Clear of the bar, so the test's clicks reach it.
    void new_client()
    {
        const Window window = XCreateSimpleWindow(dpy_, root_, static_cast<int>(below(600)),
                                                  static_cast<int>(below(500)), 1 + below(100),
                                                  1 + below(100), 0, 0, 0);
        for (unsigned long i = 0, n = below(4); i < n; ++i)
            write_client_property(window);
        if (chance(70))
            XMapWindow(dpy_, window);
        clients_.push_back(window);
    }

    void destroy(Window window)
    {
        XDestroyWindow(dpy_, window);
        std::erase(clients_, window);
        remember(gone_, window);
    }

    void remember(std::vector<XID>& ids, XID id)
    {
        if (ids.size() >= 64)
            ids.erase(ids.begin());
        ids.push_back(id);
    }

    // A well-formed list of the live clients, some gone ones mixed in.
    void publish_clients()
    {
        std::vector<long> items(clients_.begin(), clients_.end());
        if (chance(30) && !gone_.empty())
            items.push_back(static_cast<long>(gone_[below(gone_.size())]));
        if (chance(50))
            put(root_, "_NET_CLIENT_LIST", XA_WINDOW, 32, items);
        else
            put(root_, "_WIN_CLIENT_LIST", XA_CARDINAL, 32, items);
    }

    // ---- Writing ----

    Atom atom(const char* name) { return XInternAtom(dpy_, name, False); }

    // Items packed into the format: for 8 and 16 bits their low parts.
    void put(Window window, const char* name, Atom type, int format, const std::vector<long>& items)
    {
        std::vector<unsigned char> bytes;
        std::vector<short> halves;
        const unsigned char* data = reinterpret_cast<const unsigned char*>(items.data());
        if (format == 8) {
            for (long item : items)
                bytes.push_back(static_cast<unsigned char>(item));
            data = bytes.data();
        } else if (format == 16) {
            for (long item : items)
                halves.push_back(static_cast<short>(item));
            data = reinterpret_cast<const unsigned char*>(halves.data());
        }
        XChangeProperty(dpy_, window, atom(name), type, format, PropModeReplace, data,
                        static_cast<int>(items.size()));
    }

    // Mostly as a client would write it; else of another format or type.
    void put_skewed(Window window, const char* name, Atom type, const std::vector<long>& items)
    {
        int format = 32;
        if (chance(25)) {
            format = std::array{8, 16, 32}[below(3)];
            if (chance(50))
                type = atom(ANY_TYPES[below(ANY_TYPES.size())]);
        }
        put(window, name, type, format, items);
    }

    std::vector<long> ids(std::size_t count)
    {
        std::vector<long> items;
        for (std::size_t i = 0; i < count; ++i)
            items.push_back(static_cast<long>(some_id()));
        return items;
    }

    std::vector<long> atoms(std::size_t count)
    {
        std::vector<long> items;
        for (std::size_t i = 0; i < count; ++i)
            items.push_back(chance(70) ? static_cast<long>(atom(ATOM_VALUES[below(ATOM_VALUES.size())]))
                                       : number());
        return items;
    }

    // A desktop number: mostly 0, where the clients are shown.
    std::vector<long> desktop()
    {
        std::vector<long> items = {chance(75) ? 0 : number()};
        if (chance(15))
            items.resize(length(), number());
        return items;
    }

    void write_root_property()
    {
        const std::string name = ROOT_PROPERTIES[below(ROOT_PROPERTIES.size())];
        if (name == "_NET_CLIENT_LIST" || name == "_WIN_CLIENT_LIST") {
            if (chance(50))
                return publish_clients();
            return put_skewed(root_, name.c_str(), name[1] == 'N' ? XA_WINDOW : XA_CARDINAL,
                              ids(length()));
        }
        if (name == "_NET_SUPPORTED")
            return put_skewed(root_, name.c_str(), XA_ATOM, atoms(length()));
        if (name == "_NET_ACTIVE_WINDOW")
            return put_skewed(root_, name.c_str(), XA_WINDOW, ids(chance(80) ? 1 : length()));
        put_skewed(root_, name.c_str(), XA_CARDINAL, desktop());
    }

    std::string text()
    {
        static constexpr std::array<const char*, 8> bad_utf8 = {
            "\xC0\x80", "\xFF", "\xE2\x82", "\xF4\x90\x80\x80", "\xED\xA0\x80", "\xC3", "\x80\x80", "ok"};
        static constexpr std::array<const char*, 10> bad_compound = {
            "\x1b%G", "\x1b$(A", "\x1b-F", "\x1b", "\x1b(", "\x9b" "1;2", "\x1b%/1\x80\x80",
            "\x1b$)", "\x1b%/2\xff\xff", "\x1b$(D"};
        // Beyond Latin-1: Cyrillic, a combining accent, a zero-width space,
        // CJK and an emoji past the BMP (outside the bar's faces), U+FFFD,
        // a NUL, and a character cut short.
        static constexpr std::array<const char*, 8> utf8_pieces = {
            "\xD0\x9F\xD1\x80\xD0\xB8", "\xCC\x81", "\xE2\x80\x8B", "\xE4\xB8\xAD",
            "\xF0\x9F\x98\x80",         "\xEF\xBF\xBD", "", "\xD0"};
        const auto utf8_piece = [&] {
            const std::size_t i = below(utf8_pieces.size());
            return i == 6 ? std::string(1, '\0') : std::string(utf8_pieces[i]);
        };
        std::string result;
        switch (below(10)) {
        case 0: break;
        case 1: result = "title " + std::to_string(below(1000)); break;
        case 2:
            for (std::size_t i = 0, n = length() % 5000; i < n; ++i)
                result += static_cast<char>(rng_());
            break;
        case 3:
            for (unsigned long i = 0, n = 1 + below(20); i < n; ++i)
                result += bad_utf8[below(bad_utf8.size())];
            break;
        case 4:
            for (unsigned long i = 0, n = 1 + below(20); i < n; ++i) {
                result += bad_compound[below(bad_compound.size())];
                if (chance(50))
                    result += static_cast<char>(rng_());
            }
            break;
        case 5: result = std::string("first\0second\0", 13); break;
        case 6:
            if (chance(20)) {  // a title of 1 MB
                result.assign(1 << 20, 'M');
                for (int i = 0; i < 64; ++i)
                    result[below(result.size())] = static_cast<char>(rng_());
            } else {
                result.assign(300 + below(3000), 'W');
            }
            break;
        case 7:
            for (unsigned long i = 0, n = 1 + below(40); i < n; ++i)
                result += utf8_piece();
            break;
        case 8: {
            // A megabyte of one piece: combining marks on nothing, zero-width
            // spaces or characters no face of the bar holds.
            const std::string piece = chance(20) ? utf8_piece() : "\xCC\x81";
            const std::size_t size = chance(20) ? 1 << 20 : 300 + below(3000);
            while (!piece.empty() && result.size() < size)
                result += piece;
            break;
        }
        default: result = "\x1b%G\xe2\x82\xac euro \xc3\xa9"; break;
        }
        return result;
    }

    void write_text(Window window, const char* name)
    {
        static constexpr std::array<const char*, 4> types = {"STRING", "COMPOUND_TEXT",
                                                             "UTF8_STRING", "INTEGER"};
        const std::string bytes = text();
        const bool utf8 = std::string(name) == "_NET_WM_NAME" && chance(60);
        const Atom type = atom(utf8 ? "UTF8_STRING" : types[below(types.size())]);
        if (chance(85)) {
            XChangeProperty(dpy_, window, atom(name), type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
            return;
        }
        put(window, name, type, chance(50) ? 16 : 32,
            std::vector<long>(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() % 4096)));
    }

    std::vector<long> hints()
    {
        static constexpr std::array<std::size_t, 9> lengths = {0, 1, 3, 4, 7, 8, 9, 9, 9};
        std::size_t count = chance(90) ? lengths[below(lengths.size())] : length();
        std::vector<long> items;
        for (std::size_t i = 0; i < count; ++i)
            items.push_back(number());
        if (count > 0)
            items[0] = chance(70) ? static_cast<long>(below(0x80)) | IconPixmapHint : number();
        if (count > 3)
            items[3] = static_cast<long>(some_pixmap());
        if (count > 7)
            items[7] = static_cast<long>(some_pixmap());
        return items;
    }

    // _NET_WM_ICON: width, height and pixels, several times, sizes honest or not.
    std::vector<long> icon_images()
    {
        static constexpr std::array<long, 8> sides = {0, 1, 16, 17, 48, 0x7FFFFFFF, 0xFFFFFFFF, 65536};
        std::vector<long> items;
        for (unsigned long image = 0, n = 1 + below(3); image < n; ++image) {
            const long width = chance(80) ? sides[below(sides.size())] : number();
            const long height = chance(80) ? sides[below(sides.size())] : number();
            items.push_back(width);
            items.push_back(height);
            const bool honest = width > 0 && height > 0 && width <= 70000 && height <= 70000 &&
                                width * height <= 70000 && chance(70);
            const std::size_t pixels = honest ? static_cast<std::size_t>(width * height) : below(50);
            for (std::size_t i = 0; i < pixels; ++i)
                items.push_back(random32());
        }
        if (chance(20))
            items.resize(below(items.size() + 1));
        return items;
    }

    void write_client_property(Window window)
    {
        const std::string name = CLIENT_PROPERTIES[below(CLIENT_PROPERTIES.size())];
        const char* n = name.c_str();
        if (name == "WM_NAME" || name == "_NET_WM_NAME")
            write_text(window, n);
        else if (name == "WM_HINTS")
            put_skewed(window, n, XA_WM_HINTS, hints());
        else if (name == "WM_STATE")
            put_skewed(window, n, atom("WM_STATE"),
                       {chance(70) ? std::array{0L, 1L, 3L}[below(3)] : number(), static_cast<long>(some_id())});
        else if (name == "_WIN_WORKSPACE" || name == "_NET_WM_DESKTOP")
            put_skewed(window, n, XA_CARDINAL, desktop());
        else if (name == "_WIN_HINTS")
            put_skewed(window, n, XA_CARDINAL, {chance(60) ? 0 : chance(50) ? static_cast<long>(below(64)) : number()});
        else if (name == "KWM_WIN_ICON")
            put_skewed(window, n, atom("KWM_WIN_ICON"),
                       chance(80) ? std::vector<long>{static_cast<long>(some_pixmap()),
                                                      static_cast<long>(some_pixmap())}
                                  : ids(length()));
        else if (name == "_NET_WM_ICON")
            put_skewed(window, n, XA_CARDINAL, icon_images());
        else
            put_skewed(window, n, XA_ATOM, atoms(chance(80) ? below(5) : length()));
    }

    Display* dpy_;
    Window root_;
    Window bar_;
    std::mt19937_64 rng_;
    std::vector<int> depths_;
    std::vector<Window> clients_;
    std::vector<XID> gone_;
    std::vector<Pixmap> pixmaps_;
    std::vector<XID> freed_;
};

class PropertyFuzz : public RobustBar, public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(PropertyFuzz, hostile_properties_never_stop_the_bar_answering)
{
    const unsigned long seed = env_number("KIT_FUZZ_SEED", 7);
    const unsigned long iterations = env_number("KIT_FUZZ_ITERATIONS", 6000);
    constexpr unsigned long CHECK_EVERY = 50;
    start(GetParam());
    {
        Hostile hostile(server().display_name(), seed, bar);
        for (unsigned long i = 1; i <= iterations; ++i) {
            hostile.step();
            if (i % CHECK_EVERY != 0 && i != iterations)
                continue;
            SCOPED_TRACE("KIT_FUZZ_SEED=" + std::to_string(seed) + ", iteration " + std::to_string(i));
            hostile.sync();
            ASSERT_TRUE(panel->running()) << panel->stderr_text();
            // A press on whatever the hostile state put there: a desktop
            // request, or raising, focusing or iconifying a hostile window.
            click_at(dpy, hostile.bar_column(), screen_height - 12);
            ASSERT_TRUE(catches_up());
            ASSERT_TRUE(answers_a_click());
            if (i / CHECK_EVERY % 2 == 0) {
                ASSERT_TRUE(repaints_when_uncovered());
            }
            ASSERT_EQ(panel->stderr_text(), "");
            take_x_errors();  // the hostile client's own, on windows it destroyed
        }
        hostile.settle();
    }
    // With every client gone and empty lists, nothing of the run remains.
    EXPECT_TRUE(wait_until([&] { return resources_back(); }, 10s));
    EXPECT_TRUE(answers_a_click());
    EXPECT_EQ(panel->stdout_text(), "");
    EXPECT_EQ(panel->stderr_text(), "");
    end_server_under_panel();
}

INSTANTIATE_TEST_SUITE_P(BothPanels, PropertyFuzz, ::testing::Values("panel", "panel-lite"),
                         [](const auto& info) {
                             return std::string(info.param) == "panel" ? "panel" : "lite";
                         });

namespace {

class HostileInput : public RobustBar {};

}  // namespace

// Every id costs the bar round trips, and made-up ids on desktop 0 even
// get records: a list of any length must still be taken in at once.
TEST_F(HostileInput, a_hundred_thousand_made_up_ids_keep_the_bar_answering)
{
    start("panel-lite");
    ScriptedWm wm;
    std::vector<Window> made_up;
    for (Window id = 0x3000000; made_up.size() < 100000; id += 7)
        made_up.push_back(id);
    wm.set_net_client_list(made_up);
    EXPECT_TRUE(answers_a_click());
    // All of them replaced: the removal pass looks each record up in the list.
    for (Window& id : made_up)
        id += 3;
    wm.set_net_client_list(made_up);
    EXPECT_TRUE(answers_a_click());
}

TEST_F(HostileInput, naming_the_bar_itself_without_its_skip_hint_leaves_it_answering)
{
    start("panel-lite");
    ScriptedWm wm;
    wm.set_win_hints(bar, 0);
    wm.set_net_client_list({bar});
    EXPECT_TRUE(answers_a_click());
    EXPECT_TRUE(repaints_when_uncovered());
}

// A mask id that names nothing makes the server refuse the whole GC change
// that carries it, and with it an ink colour still pending in Xlib's cache
// (an empty title draws nothing, so nothing sent it): the cache and the
// server then disagree, and the next "Start" came out in the face colour.
TEST_F(HostileInput, an_icon_mask_that_names_nothing_leaves_the_start_label_drawn)
{
    start("panel-lite");
    ScriptedWm wm;
    const Pixmap icon = wm.create_solid_pixmap(16, 16, DefaultDepth(dpy, screen), 0xff0000);
    const Pixmap gone = wm.create_bitmap(16, 16, [](int, int) { return true; });
    wm.free_pixmap(gone);
    const Window client = wm.create_client({.name = string_text(""), .kwm_win_icon = {{icon, gone}}});
    wm.set_net_client_list({client});
    ASSERT_TRUE(wait_until([&] { return pixel(dpy, bar, 60, 12) == 0xff0000UL; }));  // its icon
    wm.set_name(client, string_text(""));  // repaints that one button
    EXPECT_TRUE(repaints_when_uncovered());
}
