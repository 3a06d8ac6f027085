#include "look.hpp"

#include "geometry.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/xpm.h>

#include <array>
#include <cstdio>
#include <new>
#include <optional>

namespace {

// 16-bit red, green, blue of the six panel colours, in ColorIndex order.
constexpr unsigned short panel_color_rgb[COLOR_COUNT][3] = {
    {0xD75C, 0xD75C, 0xD75C},  // face
    {0xBEFB, 0xBAEA, 0xBEFB},  // face_pressed
    {0xAEFB, 0xAAEA, 0xAEFB},  // face_spare: allocated, never drawn with
    {0xEFBE, 0xEFBE, 0xEFBE},  // highlight
    {0x8617, 0x8207, 0x8617},  // shadow
    {0x0000, 0x0000, 0x0000},  // ink
};

const char* const PANEL_FONT = "-*-lucida*-m*-r-*-*-12-*-*";
const char* const FALLBACK_FONT = "fixed";

// A small window: light frame, blue-green title strip, grey body.
const char* fallback_xpm[] = {
    "16 16 16 1",
    " \tc None",
    ".\tc #323232",
    "+\tc #535353",
    "@\tc #4A8A8E",
    "#\tc #DEE2E2",
    "$\tc #7E827A",
    "%\tc #8A9292",
    "&\tc #D6D6D6",
    "*\tc #36767E",
    "=\tc #9E9E9E",
    "-\tc #FAFAFA",
    ";\tc #B2B2B2",
    ">\tc #DEEEEA",
    ",\tc #464646",
    "'\tc #5EA2A2",
    ")\tc #52969A",
    "                ",
    "                ",
    " --#>>>>>>#-#-; ",
    " -&%')))))=&=&+ ",
    " >;$@*****=;%;+ ",
    " &$$$$$$$$$$$$, ",
    " &;;;;;;;;;;;;+ ",
    " &;;;;;;;;;;;;+ ",
    " #;;;;;;;;;;;;+ ",
    " &;;;;;;;;;;;;+ ",
    " #;;;;;;;;;;;;+ ",
    " #;;;;;;;;;;;;+ ",
    " &;;;;;;;;;;;;+ ",
    " $............. ",
    "                ",
    "                ",
};

void alloc_panel_colors()
{
    const Colormap colormap = DefaultColormap(ds.display, ds.screen);
    for (int i = 0; i < COLOR_COUNT; ++i) {
        XColor color{};
        color.red = panel_color_rgb[i][0];
        color.green = panel_color_rgb[i][1];
        color.blue = panel_color_rgb[i][2];
        if (XAllocColor(ds.display, colormap, &color)) {
            ds.panel_colors[i] = color.pixel;
        } else {
            // A full read-only colormap: dark colours go black, light ones white.
            const bool dark = i == Ink || i == Shadow;
            ds.panel_colors[i] = dark ? BlackPixel(ds.display, ds.screen)
                                      : WhitePixel(ds.display, ds.screen);
        }
    }
}

XFontStruct* load_panel_font()
{
    if (XFontStruct* font = XLoadQueryFont(ds.display, PANEL_FONT))
        return font;
    return XLoadQueryFont(ds.display, FALLBACK_FONT);
}

}  // namespace

bool init_look()
{
    alloc_panel_colors();

    ds.font = load_panel_font();
    if (!ds.font) {
        std::fprintf(stderr, "panel: cannot load the font \"%s\"\n", FALLBACK_FONT);
        return false;
    }
    ds.baseline = baseline_for_ascent(ds.font->ascent);

    // Graphics exposures off: icon copies queue no GraphicsExpose/NoExpose.
    XGCValues values{};
    values.font = ds.font->fid;
    values.graphics_exposures = False;
    ds.gc = XCreateGC(ds.display, ds.root, GCFont | GCGraphicsExposures, &values);

    // On failure both stay None and buttons without an icon show none.
    XpmCreatePixmapFromData(ds.display, ds.root, const_cast<char**>(fallback_xpm),
                            &ds.fallback_icon, &ds.fallback_mask, nullptr);
    return true;
}

void set_cardinal_property(Window window, Atom property, long value)
{
    XChangeProperty(ds.display, window, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&value), 1);
}

namespace {

// Undecorated, on every desktop, above docks, out of focus cycling, window
// lists and task bars.
void label_panel_window(Window window)
{
    set_cardinal_property(window, ds.atoms[WinLayer], 10);
    set_cardinal_property(window, ds.atoms[WinState], 257);  // sticky | fixed position
    set_cardinal_property(window, ds.atoms[WinHints], 39);   // skip focus, list, task bar; do not cover

    long motif_hints[5] = {2, 0, 0, 0, 0};  // flags: decorations; decorations: none
    XChangeProperty(ds.display, window, ds.atoms[MotifWmHints], ds.atoms[MotifWmHints], 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(motif_hints), 5);

    long size_hints[18] = {PPosition};
    XChangeProperty(ds.display, window, XA_WM_NORMAL_HINTS, XA_WM_SIZE_HINTS, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(size_hints), 18);

    long wm_hints[9] = {InputHint, False};  // the bar takes no keyboard input
    XChangeProperty(ds.display, window, XA_WM_HINTS, XA_WM_HINTS, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(wm_hints), 9);
}

// The same wishes in the words of today's window managers: a dock on every
// desktop, above others, in no task bar or pager.
void label_panel_window_ewmh(Window window)
{
    long type = ds.atoms[NetWmWindowTypeDock];
    XChangeProperty(ds.display, window, ds.atoms[NetWmWindowType], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    set_cardinal_property(window, ds.atoms[NetWmDesktop], 0xFFFFFFFF);
    long state[4] = {static_cast<long>(ds.atoms[NetWmStateSticky]),
                     static_cast<long>(ds.atoms[NetWmStateAbove]),
                     static_cast<long>(ds.atoms[NetWmStateSkipTaskbar]),
                     static_cast<long>(ds.atoms[NetWmStateSkipPager])};
    XChangeProperty(ds.display, window, ds.atoms[NetWmState], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(state), 4);
}

// Asked once more after the map, as an application asks for a state: some
// window managers (Sawfish) rewrite the state a window is mapped with and
// drop "above", and then stack raised windows over the bar.
void ask_to_stay_above(Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = ds.atoms[NetWmState];
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // add
    event.xclient.data.l[1] = static_cast<long>(ds.atoms[NetWmStateAbove]);
    event.xclient.data.l[3] = 1;  // from an application
    XSendEvent(ds.display, ds.root, False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
}

// The strut last written; rewritten only when the edge, the monitor or the
// screen changes it.
std::optional<BarStrut> written_strut;

void reserve_edge(Window window, bool top_edge)
{
    BarStrut strut = bar_strut(ds.monitor, ds.screen_height, top_edge);
    if (written_strut && written_strut->partial == strut.partial &&
        written_strut->whole_edge == strut.whole_edge)
        return;
    written_strut = strut;
    XChangeProperty(ds.display, window, ds.atoms[NetWmStrutPartial], XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(strut.partial.data()), 12);
    if (strut.whole_edge)
        XChangeProperty(ds.display, window, ds.atoms[NetWmStrut], XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(strut.partial.data()), 4);
    else
        XDeleteProperty(ds.display, window, ds.atoms[NetWmStrut]);
}

}  // namespace

Panel* create_panel()
{
    XSetWindowAttributes attributes{};
    attributes.background_pixel = ds.panel_colors[Face];
    attributes.event_mask = ButtonPressMask | PointerMotionMask | ExposureMask;
    const Rect bar = bar_rect(ds.monitor, false, false);
    const Window window = XCreateWindow(
        ds.display, ds.root, bar.x, bar.y, static_cast<unsigned>(bar.width), PANEL_HEIGHT, 0,
        CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    label_panel_window(window);
    label_panel_window_ewmh(window);
    reserve_edge(window, false);
    XMapWindow(ds.display, window);
    ask_to_stay_above(window);

    Panel* panel = new (std::nothrow) Panel{};
    if (panel)
        panel->window = window;
    return panel;
}

void place_panel(const Panel& panel)
{
    const Rect bar = bar_rect(ds.monitor, panel.collapsed, panel.top_edge);
    XResizeWindow(ds.display, panel.window, static_cast<unsigned>(bar.width),
                  static_cast<unsigned>(bar.height));
    XMoveWindow(ds.display, panel.window, bar.x, bar.y);
    reserve_edge(panel.window, panel.top_edge);
}

void set_ink(int color_index)
{
    XSetForeground(ds.display, ds.gc, ds.panel_colors[color_index]);
}

void draw_line(const Panel& panel, int x1, int y1, int x2, int y2)
{
    XDrawLine(ds.display, panel.window, ds.gc, x1, y1, x2, y2);
}

void fill_rect(const Panel& panel, int x, int y, int width, int height)
{
    XFillRectangle(ds.display, panel.window, ds.gc, x, y, width, height);
}
