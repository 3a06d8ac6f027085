// The panel under window managers that speak only EWMH (Openbox, IceWM,
// Fluxbox, FVWM, Window Maker and Sawfish, each with its configuration in
// scripts/lib) and real clients: xterm, xclock, xeyes, xlogo, a Tk window
// whose only icon is a _NET_WM_ICON, status icons (yad) and another system
// tray (trayer); the switcher started by a real hot-key program, xbindkeys.
#include "real_desktop.hpp"

#include "font_names.hpp"
#include "geometry.hpp"
#include "utf8.hpp"

#include <X11/keysym.h>

#include <set>

using namespace kit_test;

namespace {

// The Tk client: a 48-pixel green icon and a 32-pixel red one with a blue
// middle and transparent 8-pixel corners; the bar should pick the 32.
constexpr const char* TK_CLIENT = R"(wm title . "tk-icon"
image create photo small -width 32 -height 32
small put #ff0000 -to 0 0 32 32
small put #0000ff -to 8 8 24 24
foreach {x0 y0} {0 0 24 0 0 24 24 24} {
    for {set y $y0} {$y < $y0 + 8} {incr y} {
        for {set x $x0} {$x < $x0 + 8} {incr x} { small transparency set $x $y 1 }
    }
}
image create photo large -width 48 -height 48
large put #00ff00 -to 0 0 48 48
wm iconphoto . large small
wm geometry . 220x60+560+420
label .text -text "an icon only in _NET_WM_ICON"
pack .text
)";

class EwmhDesktop : public RealDesktop {
protected:
    void SetUp() override
    {
        RealDesktop::SetUp();
        if (HasFatalFailure())
            return;
        // These are the managers the EWMH fallbacks are for: none of the
        // older desktop hints on the root.
        ASSERT_FALSE(property32(dpy, root, "_WIN_WORKSPACE"));
        ASSERT_FALSE(property32(dpy, root, "_WIN_WORKSPACE_COUNT"));
    }

    Window start_tk_client()
    {
        home_->write_file("icon.tcl", TK_CLIENT);
        return start_client("/usr/bin/wish", {home_->file("icon.tcl")}, "tk-icon");
    }

    // ---- The tray: real status icons, yad --notification (GTK 3) ---------

    // A red square with a transparent frame four pixels wide.
    void start_status_icon()
    {
        const std::string blank = "\"                \",\n", red = "\"    xxxxxxxx    \",\n";
        std::string xpm = "/* XPM */\nstatic char *icon[] = {\"16 16 2 1\", \"  c None\", \"x c #FF0000\",\n";
        for (int row = 0; row < 16; ++row)
            xpm += row < 4 || row > 11 ? blank : red;
        home_->write_file("icon.xpm", xpm + "};\n");
        ProgramOptions o = options();
        o.args = {"--notification", "--image=" + home_->file("icon.xpm")};
        clients_.push_back(std::make_unique<Program>("/usr/bin/yad", o));
    }

    // Viewable windows with _XEMBED_INFO under `window`, at any depth.
    int icons_under(Window window)
    {
        Window root_return, parent, *children = nullptr;
        unsigned count = 0;
        int found = 0;
        if (XQueryTree(dpy, window, &root_return, &parent, &children, &count))
            for (unsigned i = 0; i < count; ++i)
                found += (geometry(dpy, children[i]).value_or(Geometry{}).viewable() &&
                          property32(dpy, children[i], "_XEMBED_INFO")) + icons_under(children[i]);
        if (children)
            XFree(children);
        return found;
    }

    // The bar's icons, slot 0 first, when it shows exactly `count`, each 16
    // by 16 in its slot; none otherwise.
    std::vector<Window> slotted(std::size_t count, int bar_y)
    {
        std::vector<Window> icons(count, None);
        Window root_return, parent, *children = nullptr;
        unsigned n = 0;
        XQueryTree(dpy, bar_, &root_return, &parent, &children, &n);
        for (unsigned i = 0; i < n; ++i) {
            const Geometry g = geometry(dpy, children[i]).value_or(Geometry{});
            const std::size_t slot = (screen_width - 61 - g.x) / 20;
            if (g.viewable() && g.y == bar_y + 4 && g.width == 16 && g.height == 16 && slot < count)
                icons[slot] = children[i];
        }
        if (children)
            XFree(children);
        const bool all = icons_under(bar_) == static_cast<int>(count) &&
                         std::find(icons.begin(), icons.end(), Window(None)) == icons.end();
        return all ? icons : std::vector<Window>{};
    }

};

// Titles in many scripts, status icons, another tray and a hot-key
// program: what they test is the bar's and the clients' part, so two
// window managers are enough.
class EwmhClients : public EwmhDesktop {
};

TEST_P(EwmhDesktop, desktop_buttons_show_the_real_count_with_the_current_one_sunken)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(wait_until([&] { return only_current_desk(0); }, SLOW));
    // Four labelled buttons, each closed by a separator, and the client
    // buttons starting right after the fourth.
    for (int desk = 0; desk < 4; ++desk) {
        const auto image = capture(dpy, bar_);
        ASSERT_TRUE(image);
        const int left = DESK_STRIP + desk * DESK_WIDTH;
        EXPECT_GT(image->count(panel_pixel(dpy, PanelColor::Ink), left + 3, 3, 19, 19), 0) << "desk " << desk;
        EXPECT_TRUE(column_is(left + DESK_WIDTH, PanelColor::Shadow)) << "desk " << desk;
    }
    EXPECT_TRUE(column_is(FIRST_BUTTON, PanelColor::Shadow));
}

TEST_P(EwmhDesktop, a_click_on_a_desktop_button_switches_and_the_bar_follows_showing_only_that_desktops_windows)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    // xeyes on every desktop (IceWM's own window options already put it
    // there); its button stays wherever the bar goes.
    ask_for_desktop_of(xeyes_, 0xFFFFFFFF);
    ASSERT_TRUE(wait_until([&] {
        const auto on = property32(dpy, xeyes_, "_NET_WM_DESKTOP");
        return on && !on->items.empty() && static_cast<std::uint32_t>(on->items[0]) == 0xFFFFFFFF;
    }, SLOW));

    click_desk(2);
    ASSERT_TRUE(wait_until([&] { return root_cardinal("_NET_CURRENT_DESKTOP") == 2; }, SLOW))
        << name_of(GetParam()) << " stayed on desktop " << root_cardinal("_NET_CURRENT_DESKTOP");
    // The window manager hides the first desktop's windows; the bar stays
    // in place, drawn, with only the button of the window on every desktop.
    EXPECT_TRUE(wait_until([&] {
        const auto where = geometry(dpy, xterm_);
        return where && !where->viewable();
    }, SLOW));
    EXPECT_TRUE(bar_in_place());
    EXPECT_TRUE(wait_until([&] { return only_current_desk(2) && titled_buttons() == 1; }, SLOW))
        << "the bar shows " << titled_buttons() << " titled buttons";
    EXPECT_EQ(slot_of(xeyes_), 0);

    // A window started here gets a button too.
    const Window xlogo = start_client("/usr/bin/xlogo", {"-geometry", "100x100+500+100"}, "xlogo");
    ASSERT_NE(xlogo, None);
    EXPECT_EQ(root_cardinal("_NET_CURRENT_DESKTOP"), 2);
    EXPECT_TRUE(wait_until([&] { return titled_buttons() == 2; }, SLOW))
        << "the bar shows " << titled_buttons() << " titled buttons";

    // Back on the first desktop: its three windows, not the new one.
    click_desk(0);
    ASSERT_TRUE(wait_until([&] { return root_cardinal("_NET_CURRENT_DESKTOP") == 0; }, SLOW));
    EXPECT_TRUE(wait_until([&] { return only_current_desk(0) && titled_buttons() == 3; }, SLOW))
        << "the bar shows " << titled_buttons() << " titled buttons";
    EXPECT_TRUE(bar_in_place());
    EXPECT_TRUE(wait_until([&] {
        const auto where = geometry(dpy, xlogo);
        return where && !where->viewable();
    }, SLOW));
}

TEST_P(EwmhDesktop, clicking_the_button_of_another_client_activates_it)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    const Window tk = start_tk_client();
    ASSERT_NE(tk, None);
    ASSERT_TRUE(wait_until([&] { return titled_buttons() == 4; }, SLOW));
    // The newest window has the focus; xterm, started first, is lowest.
    ASSERT_TRUE(wait_until([&] { return focus_within(tk); }, SLOW)) << "focus on " << focused_window(dpy);

    click_button_of(xterm_);
    EXPECT_TRUE(wait_until([&] { return focused_window(dpy) == xterm_; }, SLOW))
        << "focus is on " << focused_window(dpy);
    EXPECT_TRUE(wait_until([&] { return root_cardinal("_NET_ACTIVE_WINDOW") == static_cast<long>(xterm_); }, SLOW));
    EXPECT_TRUE(wait_until([&] { return raised_above_others(xterm_, {xclock_, xeyes_, tk}); }, SLOW));
    EXPECT_TRUE(wait_until([&] { return looks_pressed(slot_of(xterm_)); }, SLOW));
    // The bar, a dock, stays above the raised window.
    EXPECT_TRUE(raised_above_others(bar_, {xterm_}));

    click_button_of(xclock_);
    if (behaviour().activates_focusless) {
        EXPECT_TRUE(wait_until([&] { return root_cardinal("_NET_ACTIVE_WINDOW") == static_cast<long>(xclock_); }, SLOW));
    }
    EXPECT_TRUE(wait_until([&] { return raised_above_others(xclock_, {xterm_, xeyes_, tk}); }, SLOW));
    EXPECT_TRUE(wait_until([&] { return looks_pressed(slot_of(xclock_)) && !looks_pressed(slot_of(xterm_)); }, SLOW));
}

TEST_P(EwmhDesktop, clicking_the_button_of_a_rolled_up_client_unrolls_it)
{
    if (!behaviour().unshades_on_activation)
        GTEST_SKIP() << name_of(GetParam()) << " leaves an activated client rolled up";
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    const Window tk = start_tk_client();
    ASSERT_NE(tk, None);
    ASSERT_TRUE(wait_until([&] { return focus_within(tk); }, SLOW)) << "focus on " << focused_window(dpy);

    // Rolled up to its title bar. Openbox brings it back only when asked to
    // activate it, as the bar asks as a pager; IceWM on the map request too.
    const auto frame_height = [&] { return frame_geometry(xterm_).value_or(Geometry{}).height; };
    const int full_height = frame_height();
    change_state(xterm_, 1, "_NET_WM_STATE_SHADED");
    ASSERT_TRUE(wait_until([&] { return has_state(xterm_, "_NET_WM_STATE_SHADED"); }, SLOW));
    ASSERT_TRUE(wait_until([&] { return frame_height() < full_height / 2; }, SLOW));

    click_button_of(xterm_);
    EXPECT_TRUE(wait_until([&] { return !has_state(xterm_, "_NET_WM_STATE_SHADED"); }, SLOW));
    EXPECT_TRUE(wait_until([&] { return frame_height() == full_height; }, SLOW))
        << "the frame is " << frame_height() << " high, not " << full_height;
    EXPECT_TRUE(wait_until([&] { return focused_window(dpy) == xterm_; }, SLOW))
        << "focus is on " << focused_window(dpy);
    EXPECT_TRUE(wait_until([&] { return raised_above_others(xterm_, {xclock_, xeyes_, tk}); }, SLOW));
}

TEST_P(EwmhDesktop, clicks_minimise_the_focused_client_and_restore_it_activated)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    const int slot = slot_of(xterm_);
    // Openbox focuses xterm on map, the only client here that takes the
    // focus; IceWM gives it to the newest window whatever its hints. Once
    // the window manager has settled, xterm is made the focused one.
    ASSERT_TRUE(wait_until([&] {
        const long active = root_cardinal("_NET_ACTIVE_WINDOW");
        const bool known = active == static_cast<long>(xterm_) || active == static_cast<long>(xclock_) ||
                           active == static_cast<long>(xeyes_);
        return known && looks_pressed(slot) == (active == static_cast<long>(xterm_));
    }, SLOW));
    if (!looks_pressed(slot))
        click_button_of(xterm_);
    ASSERT_TRUE(wait_until([&] { return focused_window(dpy) == xterm_ && looks_pressed(slot); }, SLOW));

    // The window manager iconifies it on the bar's request.
    click_button_of(xterm_);
    EXPECT_TRUE(wait_until([&] { return wm_state(xterm_) == IconicState; }, SLOW))
        << "WM_STATE " << wm_state(xterm_);
    EXPECT_TRUE(wait_until([&] {
        const auto where = geometry(dpy, xterm_);
        return where && !where->viewable();
    }, SLOW));
    EXPECT_TRUE(wait_until([&] { return looks_minimised(slot) && !looks_pressed(slot); }, SLOW));

    // Restored: shown, on top, focused and the active window again.
    click_button_of(xterm_);
    EXPECT_TRUE(wait_until([&] { return wm_state(xterm_) == NormalState; }, SLOW))
        << "WM_STATE " << wm_state(xterm_);
    EXPECT_TRUE(wait_until([&] {
        const auto where = geometry(dpy, xterm_);
        return where && where->viewable();
    }, SLOW));
    EXPECT_TRUE(wait_until([&] { return raised_above_others(xterm_, {xclock_, xeyes_}); }, SLOW));
    EXPECT_TRUE(wait_until([&] { return focused_window(dpy) == xterm_; }, SLOW))
        << "focus is on " << focused_window(dpy);
    EXPECT_TRUE(wait_until([&] { return root_cardinal("_NET_ACTIVE_WINDOW") == static_cast<long>(xterm_); }, SLOW));
    EXPECT_TRUE(wait_until([&] { return looks_normal(slot) && looks_pressed(slot); }, SLOW));
}

TEST_P(EwmhDesktop, a_maximised_window_stops_two_pixels_above_the_bars_edge)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());

    change_state(xeyes_, 1, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
    EXPECT_TRUE(wait_until([&] {
        const auto frame = frame_geometry(xeyes_);
        return frame && frame->x == 0 && frame->y == 0 &&
               frame->width + 2 * frame->border_width == screen_width &&
               frame->y + frame->height + 2 * frame->border_width == screen_height - behaviour().maximised_gap;
    }, SLOW)) << "the frame is at " << frame_geometry(xeyes_)->y << " and "
              << frame_geometry(xeyes_)->height << " high";
    EXPECT_TRUE(bar_in_place());
    if (!behaviour().refits_maximised_windows)
        return;

    // A click at the right end moves the bar to the top edge: the window
    // manager makes room there instead.
    click_bar(screen_width - 1);
    EXPECT_TRUE(wait_until([&] {
        const auto frame = frame_geometry(xeyes_);
        return frame && frame->y == behaviour().maximised_gap &&
               frame->y + frame->height + 2 * frame->border_width == screen_height;
    }, SLOW)) << "the frame is at " << frame_geometry(xeyes_)->y << " and "
              << frame_geometry(xeyes_)->height << " high";
}

// Away from the bar it collapses to the strip the window manager lets it
// have, above a maximised window; back at the edge it comes back whole.
TEST_P(EwmhDesktop, the_bar_hides_to_its_strip_and_comes_back_above_a_maximised_window)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    change_state(xeyes_, 1, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
    ASSERT_TRUE(wait_until([&] { return frame_geometry(xeyes_)->y == 0; }, SLOW));

    const Behaviour wm = behaviour();
    move_pointer(dpy, screen_width / 2, screen_height / 2);
    EXPECT_TRUE(wait_until([&] {
        const auto where = geometry(dpy, bar_);
        return where && where->viewable() && where->x == 0 && where->width == screen_width &&
               where->height == wm.strip_height && where->y == screen_height - wm.strip_gap - wm.strip_height;
    }, SLOW)) << "the strip is " << geometry(dpy, bar_)->height << " high at " << geometry(dpy, bar_)->y;
    EXPECT_TRUE(raised_above_others(bar_, {xeyes_}));
    EXPECT_TRUE(bar_uncovered());

    move_pointer(dpy, screen_width / 2, screen_height - 1);
    EXPECT_TRUE(wait_until([&] { return bar_in_place() && bar_uncovered(); }, SLOW));
}

TEST_P(EwmhDesktop, a_client_that_offers_only_net_wm_icon_shows_its_own_icon)
{
    start_panel();
    ASSERT_FALSE(HasFatalFailure());
    const Window tk = start_tk_client();
    ASSERT_NE(tk, None);
    ASSERT_FALSE(property32(dpy, tk, "KWM_WIN_ICON"));
    const auto hints = property32(dpy, tk, XA_WM_HINTS);
    ASSERT_TRUE(hints && !hints->items.empty());
    ASSERT_FALSE(hints->items[0] & (IconPixmapHint | IconWindowHint)) << "Tk now gives an icon pixmap";
    ASSERT_TRUE(wait_until([&] { return titled_buttons() == 1; }, SLOW));

    const unsigned long red = alloc_panel_color(dpy, 0xFFFF, 0, 0);
    const unsigned long blue = alloc_panel_color(dpy, 0, 0, 0xFFFF);
    const unsigned long green = alloc_panel_color(dpy, 0, 0xFFFF, 0);
    // The icon's top-left corner; a pressed button's content sits one
    // pixel further right.
    int x = 0;
    const int y = 4;
    const auto at = [&](int dx, int dy) { return pixel(dpy, bar_, x + dx, y + dy).value_or(0); };
    EXPECT_TRUE(wait_until([&] {
        x = button_left(0) + 2 + (looks_pressed(0) ? 1 : 0);
        return at(8, 8) == blue && at(1, 8) == red && at(8, 1) == red;
    }, SLOW)) << std::hex << "middle " << at(8, 8) << ", edges " << at(1, 8) << " " << at(8, 1);
    // Transparent corners show the button's face; the 48-pixel image is
    // not the one shown.
    const unsigned long face = panel_pixel(dpy, looks_pressed(0) ? PanelColor::FacePressed : PanelColor::Face);
    for (const auto& [dx, dy] : {std::pair{1, 1}, {14, 1}, {1, 14}, {14, 14}})
        EXPECT_EQ(at(dx, dy), face) << dx << "," << dy;
    const auto image = capture(dpy, bar_, x, y, 16, 16);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->count(green), 0);
}

// The pixels `text` (UTF-8, all in the BMP) sets when drawn at (x, y) in a
// font, character by character.
std::set<std::pair<int, int>> ink_of(Display* dpy, Font font, const std::vector<XChar2b>& text, int x,
                                     int y, int width, int height)
{
    const Window root = DefaultRootWindow(dpy);
    const Pixmap canvas = XCreatePixmap(dpy, root, width, height, DefaultDepth(dpy, DefaultScreen(dpy)));
    XGCValues values{};
    values.font = font;
    const GC gc = XCreateGC(dpy, canvas, GCFont, &values);
    XFillRectangle(dpy, canvas, gc, 0, 0, width, height);  // foreground 0
    XSetForeground(dpy, gc, 1);
    XDrawString16(dpy, canvas, gc, x, y, text.data(), static_cast<int>(text.size()));
    const Image image(XGetImage(dpy, canvas, 0, 0, width, height, AllPlanes, ZPixmap));
    std::set<std::pair<int, int>> points;
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px)
            if (image.at(px, py))
                points.emplace(px, py);
    XFreeGC(dpy, gc);
    XFreePixmap(dpy, canvas);
    return points;
}

std::vector<XChar2b> char2b(const std::string& utf8)
{
    std::vector<XChar2b> text;
    for (std::size_t at = 0; at < utf8.size(); at += decode_utf8(utf8, at).length) {
        const char32_t code = decode_utf8(utf8, at).code;
        text.push_back({static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)});
    }
    return text;
}

// The ISO 10646 cut of the face a pattern loads, as the kit names it.
XFontStruct* unicode_cut_of(Display* dpy, const char* pattern)
{
    XFontStruct* font = XLoadQueryFont(dpy, pattern);
    unsigned long name = 0;
    if (!font || !XGetFontProperty(font, XA_FONT, &name))
        return nullptr;
    char* font_name = XGetAtomName(dpy, name);
    const auto cut = unicode_cut_name(font_name);
    XFree(font_name);
    XFreeFont(dpy, font);
    return cut ? XLoadQueryFont(dpy, cut->c_str()) : nullptr;
}

// xterm names its window in compound text from -title, and adds a UTF-8
// _NET_WM_NAME when a program retitles it; both show as written on the bar
// and in the pop-up, whatever the kit's locale. The terminals keep a UTF-8
// locale: under LC_ALL=C xterm itself would label the UTF-8 bytes STRING.
TEST_P(EwmhClients, titles_in_every_script_show_as_written_on_the_bar_and_in_the_pop_up)
{
    const std::string cafe = "Caf\xC3\xA9 \xE2\x80\x94 na\xC3\xAFve \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    const std::string greek = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC";
    XFontStruct* bar_cut = unicode_cut_of(dpy, "-*-lucida*-m*-r-*-*-12-*-*");
    XFontStruct* fixed_cut = unicode_cut_of(dpy, "fixed");
    ASSERT_TRUE(bar_cut && fixed_cut);
    const auto by_instance = [&](const std::string& instance) -> Window {
        for (Window window : client_list()) {
            const auto wm_class = property_bytes(dpy, window, XA_WM_CLASS);
            if (wm_class && wm_class->bytes.compare(0, instance.size() + 1, instance + '\0') == 0)
                return window;
        }
        return None;
    };

    for (const char* locale : {"C.UTF-8", "C"}) {
        SCOPED_TRACE(std::string("LC_ALL=") + locale);
        ProgramOptions kit = options();
        kit.env.emplace_back("LC_ALL", locale);
        panel_ = std::make_unique<Program>(program_path("panel"), kit);
        ASSERT_TRUE(wait_until([&] { return (bar_ = find_bar()) != None && bar_in_place(); }, SLOW));

        ProgramOptions terminal = options();
        terminal.env.emplace_back("LC_ALL", "C.UTF-8");
        terminal.args = {"-name", "compound", "-geometry", "40x5+40+40", "-title", cafe};
        clients_.push_back(std::make_unique<Program>("/usr/bin/xterm", terminal));
        terminal.args = {"-name", "retitled", "-geometry", "40x5+40+300", "-e", "sh", "-c",
                         "printf '\\033]2;%s\\007' \"$0\"; exec sleep 600", greek};
        clients_.push_back(std::make_unique<Program>("/usr/bin/xterm", terminal));
        Window compound = None, retitled = None;
        ASSERT_TRUE(wait_until([&] {
            compound = by_instance("compound");
            retitled = by_instance("retitled");
            const auto net_name = property_bytes(dpy, retitled, "_NET_WM_NAME");
            return compound && retitled && net_name && net_name->bytes == greek && titled_buttons() == 2;
        }, SLOW));

        // Each button shows its title in the bar face's Unicode cut, cut to
        // whole characters narrower than the room: as wide as its
        // characters, not its bytes.
        const int baseline = baseline_for_ascent(bar_cut->ascent);  // the same face's
        for (const auto& [window, title] : {std::pair{compound, cafe}, std::pair{retitled, greek}}) {
            std::vector<XChar2b> shown = char2b(title);
            while (XTextWidth16(bar_cut, shown.data(), static_cast<int>(shown.size())) >= BUTTON_WIDTH - 22)
                shown.pop_back();
            const int left = button_left(slot_of(window));
            EXPECT_TRUE(wait_until([&] {
                const bool pressed = looks_pressed(slot_of(window));
                const int x0 = left + (pressed ? 1 : 0) + 20;
                const auto ink = ink_of(dpy, bar_cut->fid, shown, x0 - left, baseline, BUTTON_WIDTH, 24);
                const auto image = capture(dpy, bar_, left, 0, BUTTON_WIDTH, 24);
                const unsigned long face = panel_pixel(dpy, pressed ? PanelColor::FacePressed : PanelColor::Face);
                const unsigned long text = panel_pixel(dpy, PanelColor::Ink);
                for (int y = 3; y <= 20; ++y)
                    for (int x = x0 - left; x < BUTTON_WIDTH - 2; ++x)
                        if (image->at(x, y) != (ink.count({x, y}) ? text : face))
                            return false;
                return !ink.empty();
            }, SLOW)) << shown.size() << " characters of " << title;
        }

        // The pop-up lists both by name in the Unicode cut of "fixed", is 5
        // pixels wide per character of the longest label, and leaves out
        // the bar.
        move_pointer(dpy, 600, 200);
        std::optional<Program> switcher(std::in_place, program_path("switcher"), kit);
        std::optional<Window> popup;
        ASSERT_TRUE(wait_until([&] { return (popup = listed_client("vokSwitch")).has_value(); }, SLOW));
        const int rows = GetParam() == WindowManager::Openbox ? 2 : -1;
        EXPECT_TRUE(wait_until([&] {
            const auto where = geometry(dpy, *popup);
            return where && where->width == 5 * 19 + 10 && (rows < 0 || where->height == 12 * rows + 5);
        }, SLOW)) << "the pop-up is " << geometry(dpy, *popup)->width << " by " << geometry(dpy, *popup)->height;
        const auto row_showing = [&](const std::string& label) {
            const auto image = capture(dpy, *popup);
            if (!image)
                return 0;
            for (int row = 1; 12 * row + 5 <= image->height(); ++row) {
                const auto ink = ink_of(dpy, fixed_cut->fid, char2b(label), 1, 12 * row, image->width(), image->height());
                bool same = true;
                for (int y = 12 * row - 10; y <= 12 * row && same; ++y)
                    for (int x = 0; x < image->width() && same; ++x)
                        same = image->at(x, y) == (ink.count({x, y}) ? BlackPixel(dpy, screen) : WhitePixel(dpy, screen));
                if (same)
                    return row;
            }
            return 0;
        };
        int row = 0;
        EXPECT_TRUE(wait_until([&] { return row_showing(greek) > 0 && (row = row_showing(cafe)) > 0; }, SLOW));
        EXPECT_EQ(row_showing("unknown"), 0) << "the bar is listed";
        const auto where = geometry(dpy, *popup);
        click_at(dpy, where->x + where->border_width + 10, where->y + where->border_width + 12 * row - 1);
        EXPECT_EQ(switcher->wait_exit(SLOW), 0);
        EXPECT_EQ(switcher->stderr_text(), "raising " + std::to_string(row));

        panel_.reset();
        clients_.clear();
        ASSERT_TRUE(wait_until([&] { return client_list().empty(); }, SLOW));
    }
    XFreeFont(dpy, bar_cut);
    XFreeFont(dpy, fixed_cut);
}

TEST_P(EwmhClients, yad_icons_dock_show_the_face_through_follow_the_bar_and_outlive_it)
{
    start_panel();
    const int bottom = screen_height - 24;
    start_status_icon();
    ASSERT_TRUE(wait_until([&] { return !slotted(1, bottom).empty(); }, SLOW));
    start_status_icon();
    std::vector<Window> icons;
    ASSERT_TRUE(wait_until([&] { return !(icons = slotted(2, bottom)).empty(); }, SLOW));
    EXPECT_TRUE(wait_until([&] {
        return pixel(dpy, icons[1], 1, 1) == panel_pixel(dpy, PanelColor::Face) && pixel(dpy, icons[1], 8, 8) == 0xff0000;
    }));

    clients_.front()->stop();  // the second icon closes the gap
    EXPECT_TRUE(wait_until([&] { return slotted(1, bottom) == std::vector{icons[1]}; }, SLOW));
    move_pointer(dpy, screen_width / 2, screen_height / 2);  // the bar hides, and its icons
    EXPECT_TRUE(wait_until([&] { return geometry(dpy, bar_)->height == 2 && icons_under(bar_) == 0; }));
    move_pointer(dpy, screen_width - 1, screen_height - 1);
    ASSERT_TRUE(wait_until([&] { return !slotted(1, bottom).empty(); }));
    click_at(dpy, screen_width - 1, screen_height - 12);  // to the top edge
    move_pointer(dpy, screen_width - 1, 0);
    EXPECT_TRUE(wait_until([&] { return !slotted(1, 0).empty(); }));

    move_pointer(dpy, screen_width / 2, screen_height - 1);
    start_panel();  // the last one ends; this one collects the icon that outlived it
    EXPECT_TRUE(wait_until([&] { return !slotted(1, bottom).empty(); }, SLOW));
}

TEST_P(EwmhClients, a_tray_running_first_keeps_the_bar_as_it_was_and_one_coming_later_takes_the_icons)
{
    ProgramOptions o = options();
    clients_.push_back(std::make_unique<Program>("/usr/bin/trayer", o));
    ASSERT_TRUE(wait_until([&] { return tray_owner(dpy) != None; }, SLOW));
    start_panel();
    // Left of the clock, which may change meanwhile, once the bar is painted.
    const auto look = [&] { return capture(dpy, bar_, 0, 0, screen_width - 44, 24); };
    const auto before = settled(look, [&](const Image&) { return column_is(48, PanelColor::Shadow); });
    ASSERT_TRUE(before);
    start_status_icon();
    ASSERT_TRUE(wait_until([&] { return icons_under(root) == 1; }, SLOW));  // in trayer
    EXPECT_TRUE(settled(look, [&](const Image& now) { return same_pixels(now, *before); }))
        << "the bar looks other than before";

    clients_.front()->stop();  // trayer: the bar takes the selection, and the icon comes
    ASSERT_TRUE(wait_until([&] { return !slotted(1, screen_height - 24).empty(); }, SLOW));
    const Window later = XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0);
    take_tray_selection(dpy, later);
    XEvent dock{};
    EXPECT_TRUE(wait_until([&] { return XCheckTypedWindowEvent(dpy, later, ClientMessage, &dock); }, SLOW));
    EXPECT_EQ(icons_under(bar_), 0);
}

// xbindkeys holds the keyboard while its hot key is down, and starts the
// pop-up then: the pop-up takes the keyboard once the key is let go.
TEST_P(EwmhClients, the_switcher_started_by_a_hot_key_is_worked_from_the_keyboard)
{
    start_desktop();
    ASSERT_FALSE(HasFatalFailure());
    // Line-buffered by stdbuf, xbindkeys says when it is ready; the
    // switcher goes without stdbuf's preload, which a sanitizer build refuses.
    home_->write_file("keys", "\"env -u LD_PRELOAD " + program_path("switcher") + " 2>" + home_->file("said") +
                                  "; echo $? >" + home_->file("status") + "\"\n  Control + F9\n");
    ProgramOptions o = options();
    o.args = {"-oL", "/usr/bin/xbindkeys", "-n", "-v", "-f", home_->file("keys")};
    Program hot_keys("/usr/bin/stdbuf", o);
    ASSERT_TRUE(wait_until([&] { return hot_keys.stdout_text().find("starting loop") != std::string::npos; }, SLOW));
    XAutoRepeatOff(dpy);  // or each repeat of the held key starts another pop-up
    move_pointer(dpy, 600, 200);
    press_key(dpy, XK_Control_L);
    press_key(dpy, XK_F9);
    ASSERT_TRUE(wait_until([&] { return listed_client("vokSwitch").has_value(); }, SLOW));
    std::this_thread::sleep_for(500ms);  // the key held half a second with the pop-up open
    release_key(dpy, XK_F9);
    release_key(dpy, XK_Control_L);
    ASSERT_TRUE(wait_until([&] { return keyboard_grabbed_elsewhere(dpy); }, SLOW));
    for (KeySym key : {XK_Down, XK_Down, XK_Return})
        tap_key(dpy, key);
    ASSERT_TRUE(wait_until([&] { return !home_->read_file("status").value_or("").empty(); }, SLOW));
    EXPECT_EQ(home_->read_file("status"), "0\n");
    EXPECT_EQ(home_->read_file("said"), "raising 2");
    // The second row is xclock's under Openbox; IceWM leaves other
    // clients' restacking requests undone, for a click as for a key.
    if (GetParam() == WindowManager::Openbox) {
        EXPECT_TRUE(wait_until([&] { return raised_above_others(xclock_, {xterm_, xeyes_}); }, SLOW));
    }
}

INSTANTIATE_TEST_SUITE_P(RealWindowManagers, EwmhClients,
                         ::testing::Values(WindowManager::Openbox, WindowManager::IceWM), row_name);
INSTANTIATE_TEST_SUITE_P(RealWindowManagers, EwmhDesktop,
                         ::testing::Values(WindowManager::Openbox, WindowManager::IceWM, WindowManager::Fluxbox,
                                           WindowManager::Fvwm, WindowManager::WindowMaker, WindowManager::Sawfish),
                         row_name);

}  // namespace
