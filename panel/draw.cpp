#include "draw.hpp"

#include "clients.hpp"
#include "look.hpp"
#include "text.hpp"

#include <X11/Xatom.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string_view>

namespace {

// Sizes reach XFillRectangle as unsigned: a negative one would cover a huge
// area, so a box without room is left out.
void fill_box(const Panel& panel, int x, int y, int width, int height)
{
    if (width > 0 && height > 0)
        fill_rect(panel, x, y, width, height);
}

void draw_text(const Panel& panel, int x, int y, std::string_view text)
{
    const int length = text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
    XDrawString(ds.display, panel.window, ds.gc, x, y, text.data(), length);
}

// First item of the root's desktop count; 0 when it is absent or empty.
// In the loop a notice of every change comes before the repaint that shows
// it, so the count is read once and kept until then.
std::uint32_t read_desktop_count(Panel& panel)
{
    if (!panel.due.gathering)
        return desktop_count().value_or(0);
    if (!panel.desktop_count)
        panel.desktop_count = desktop_count().value_or(0);
    return *panel.desktop_count;
}

// "hh:mm" of the local time, formatted once a minute: the time zone is
// looked up again each time, which costs a file check.
std::string_view clock_text()
{
    static time_t shown_minute = -1;
    static char text[6] = "";
    const time_t now = std::time(nullptr);
    if (now / 60 != shown_minute) {
        const char* full = std::ctime(&now);  // "Www Mmm dd hh:mm:ss yyyy\n"
        if (!full)
            return {};
        std::memcpy(text, full + 11, 5);
        shown_minute = now / 60;
    }
    return {text, 5};
}

void draw_desktop_button(const Panel& panel, int i)
{
    const int x0 = 48 + DESK_BUTTON_WIDTH * i;
    const char label = static_cast<char>('1' + i);
    const int label_width = bar_char_widths()[static_cast<unsigned char>(label)];

    if (i == panel.desktop) {
        set_ink(FacePressed);
        fill_rect(panel, x0 + 3, 2, 19, 21);
        set_ink(Shadow);
        draw_line(panel, x0 + 2, 1, x0 + 2, 22);
        draw_line(panel, x0 + 3, 1, x0 + 22, 1);
        set_ink(Highlight);
        draw_line(panel, x0 + 3, 22, x0 + 22, 22);
        draw_line(panel, x0 + 22, 21, x0 + 22, 2);
    } else {
        set_ink(Face);
        fill_rect(panel, x0 + 2, 1, 21, 22);
    }
    set_ink(Ink);
    // Centred on x0 + 12; the label does not move when sunken.
    draw_text(panel, x0 - (label_width / 2 - 12), ds.baseline, std::string_view(&label, 1));
    draw_separator(panel, x0 + DESK_BUTTON_WIDTH);
}

}  // namespace

const CharWidths& bar_char_widths()
{
    static CharWidths widths{};
    static const XFontStruct* measured = nullptr;
    static Font measured_id = None;
    if (measured != ds.font || measured_id != ds.font->fid) {
        // XTextWidth of 8-bit text is the sum of its bytes' widths, so one
        // table measures any title in a single pass.
        for (int c = 0; c < 256; ++c) {
            const char byte = static_cast<char>(c);
            widths[c] = XTextWidth(ds.font, &byte, 1);
        }
        measured = ds.font;
        measured_id = ds.font->fid;
    }
    return widths;
}

void draw_separator(const Panel& panel, int x)
{
    set_ink(Shadow);
    draw_line(panel, x, 0, x, PANEL_HEIGHT);
    set_ink(Highlight);
    draw_line(panel, x + 1, 0, x + 1, PANEL_HEIGHT);
}

void draw_client_button(const Panel& panel, const TrackedWindow& record)
{
    const int left = record.button_left;
    const int width = record.button_width;
    // Without a slot (added since the last layout, or left out for lack of
    // room) the button would land on the Start area.
    if (!record.title || left < FIRST_SLOT_OFFSET)
        return;

    draw_separator(panel, left);
    draw_line(panel, left + 1, 0, left + width, 0);  // in the separator's highlight
    set_ink(FacePressed);
    draw_line(panel, left + 1, 23, left + width, 23);

    int content = left;
    if (record.active) {
        fill_box(panel, left + 4, 3, width - 5, 18);  // face_pressed still current
        set_ink(Highlight);
        draw_line(panel, left + 3, 22, left + width - 1, 22);
        draw_line(panel, left + width - 1, 2, left + width - 1, 22);
        set_ink(Face);
        draw_line(panel, left + 2, 2, left + 2, 22);
        set_ink(Shadow);
        draw_line(panel, left + 3, 2, left + width - 1, 2);
        draw_line(panel, left + 3, 2, left + 3, 21);
        content = left + 1;  // pressed content sits one pixel further right
    } else {
        set_ink(Face);
        fill_box(panel, left + 2, 1, width - 1, 22);
    }

    const ShownTitle shown =
        shown_title(*record.title, record.title_kind.encoding, width - 22, bar_char_widths());
    if (record.minimized) {
        // Engraved: a highlight copy one pixel below the shadow text.
        set_ink(Highlight);
        draw_shown_title(panel, content + 20, ds.baseline + 1, shown);
        set_ink(Shadow);
    } else {
        set_ink(Ink);
    }
    draw_shown_title(panel, content + 20, ds.baseline, shown);

    // A mask of None copies the whole square; a vanished icon fails on the
    // server and the error is dropped. A mask id that names nothing makes
    // the server refuse the whole GC change carrying it: the pending ink
    // goes first, or Xlib's GC cache would believe it sent and skip the
    // next set_ink of that colour.
    // The clip goes in one change with the copy, and its removal with the
    // next ink (XChangeGC leaves both in Xlib's GC cache until then).
    XFlushGC(ds.display, ds.gc);
    XGCValues clip{};
    clip.clip_mask = record.icon_mask;
    clip.clip_x_origin = content + 2;
    clip.clip_y_origin = 4;
    XChangeGC(ds.display, ds.gc, GCClipMask | GCClipXOrigin | GCClipYOrigin, &clip);
    XCopyArea(ds.display, record.icon, panel.window, ds.gc, 0, 0, ICON_SIZE, ICON_SIZE,
              content + 2, 4);
    clip.clip_mask = None;
    XChangeGC(ds.display, ds.gc, GCClipMask, &clip);
}

void draw_clock(const Panel& panel)
{
    const int s = ds.monitor.width;
    ds.clock_left = s - 43;

    draw_separator(panel, s - 43);
    draw_line(panel, s - 40, 22, s - 4, 22);  // in the separator's highlight
    draw_line(panel, s - 4, 2, s - 4, 22);
    set_ink(FacePressed);
    fill_rect(panel, s - 40, 2, 36, 20);  // also erases the previous time
    set_ink(Shadow);
    draw_line(panel, s - 41, 2, s - 5, 2);
    draw_line(panel, s - 41, 2, s - 41, 22);
    set_ink(Ink);
    draw_text(panel, s - 40, ds.baseline, clock_text());
}

void draw_tray(const Panel& panel)
{
    if (panel.tray_icons <= 0)
        return;
    const int left = tray_left(ds.monitor.width, panel.tray_icons);
    draw_separator(panel, left);
    set_ink(Face);
    fill_rect(panel, left + 2, 0, TRAY_SLOT_WIDTH * panel.tray_icons - 2, PANEL_HEIGHT);
}

void draw_grip_dot(Window window, int x, int y)
{
    set_ink(Shadow);
    XDrawPoint(ds.display, window, ds.gc, x, y);
    set_ink(Highlight);
    XDrawPoint(ds.display, window, ds.gc, x + 1, y + 1);
}

void draw_grip(Window window, int x)
{
    for (int y = 3; y <= 21; y += 3) {
        draw_grip_dot(window, x + 3, y);
        draw_grip_dot(window, x, y);
    }
}

void draw_desktop_buttons(Panel& panel)
{
    // Only the buttons that fit left of the clock: a count of 0xFFFFFFFF
    // costs no more than one that fills the bar.
    const int shown = desktop_buttons_shown(read_desktop_count(panel), ds.monitor.width);
    ds.pager_width = shown * DESK_BUTTON_WIDTH;
    for (int i = 0; i < shown; ++i)
        draw_desktop_button(panel, i);
}

namespace {

// Gives every record its slot. Paints all buttons, or (`changed_only`)
// those whose slot moved and those due. Returns the right end of the
// painted buttons.
int paint_client_buttons(Panel& panel, const ClientLayout& layout, bool changed_only)
{
    int x = layout.first_left;
    int placed = 0;
    int painted_right = 0;
    for (TrackedWindow* record = panel.first_client; record; record = record->next) {
        // Not drawn, so no press may find it.
        int left = 0;
        int width = 0;
        if (placed < layout.shown) {
            left = x;
            width = layout.step - 1;
            x += layout.step;
            ++placed;
        }
        const bool changed =
            record->repaint_due || left != record->button_left || width != record->button_width;
        record->repaint_due = false;
        record->button_left = left;
        record->button_width = width;
        if (left && (changed || !changed_only)) {
            draw_client_button(panel, *record);
            painted_right = left + layout.step;
        }
    }
    return painted_right;
}

// Right of the slots: the rest, cleared with a groove; or, without one,
// face where the slots of the last paint reached further (a closed
// window's button would stay otherwise). Returns whether anything was
// cleared, which the tray, the clock and the grip are then painted over.
bool clear_after_slots(Panel& panel, const ClientLayout& layout, bool whole)
{
    const int s = ds.monitor.width;
    const PaintedBar& before = panel.painted;
    if (layout.rest) {
        if (!whole && before.rest && before.row_end == layout.rest_left)
            return false;
        draw_separator(panel, layout.rest_left);
        set_ink(Face);
        fill_rect(panel, layout.rest_left + 2, 0, s, PANEL_HEIGHT);  // clipped at the right edge
        return true;
    }
    const int vacated_end = before.row_end + (before.rest ? 2 : 0);  // with the rest's groove
    if (!before.valid || vacated_end <= layout.rest_left)
        return false;
    set_ink(Face);
    fill_rect(panel, layout.rest_left, 0, vacated_end - layout.rest_left, PANEL_HEIGHT);
    return true;
}

void remember_painted(Panel& panel, const ClientLayout& layout)
{
    panel.painted = {true,          panel.desktop,    ds.pager_width, panel.tray_icons,
                     ds.monitor.width, layout.rest_left, layout.rest};
}

// What a list repaint leaves as it is must not have changed.
bool row_alone_changed(Panel& panel)
{
    const PaintedBar& before = panel.painted;
    const int pager =
        desktop_buttons_shown(read_desktop_count(panel), ds.monitor.width) * DESK_BUTTON_WIDTH;
    return before.valid && before.desktop == panel.desktop && before.pager_width == pager &&
           before.tray_icons == panel.tray_icons && before.width == ds.monitor.width;
}

// Where the tray, or else the clock, begins: buttons reaching into it are
// painted over.
int right_side_left(const Panel& panel)
{
    return panel.tray_icons > 0 ? tray_left(ds.monitor.width, panel.tray_icons) : ds.monitor.width - 43;
}

void paint_right_side(Panel& panel)
{
    draw_tray(panel);
    draw_clock(panel);
    draw_grip(panel.window, ds.monitor.width - 6);
}

// After a change of the list: the buttons that came or moved, and what
// their slots no longer cover.
void repaint_list(Panel& panel)
{
    panel.due.list = false;
    panel.due.buttons = false;
    const ClientLayout layout =
        layout_client_buttons(ds.monitor.width, ds.pager_width, panel.client_count, panel.tray_icons);
    const int painted_right = paint_client_buttons(panel, layout, true);
    const bool cleared = clear_after_slots(panel, layout, false);
    if (cleared || painted_right > right_side_left(panel)) {
        paint_right_side(panel);
        panel.due.clock = false;
    }
    remember_painted(panel, layout);
    release_unused_unicode_face(panel);
}

}  // namespace

void redraw_panel(Panel& panel)
{
    panel.due.whole_bar = false;
    panel.due.list = false;
    panel.due.buttons = false;
    panel.due.clock = false;
    set_ink(Ink);
    draw_text(panel, 10, 17, "Start");  // fixed y, whatever the baseline
    draw_desktop_buttons(panel);

    const int s = ds.monitor.width;
    const int pager = ds.pager_width;
    const ClientLayout layout =
        layout_client_buttons(s, pager, panel.client_count, panel.tray_icons);
    paint_client_buttons(panel, layout, false);
    clear_after_slots(panel, layout, true);
    draw_tray(panel);

    draw_clock(panel);
    draw_separator(panel, 48);
    draw_separator(panel, pager + FIRST_SLOT_OFFSET);
    draw_grip(panel.window, s - 6);
    remember_painted(panel, layout);
    release_unused_unicode_face(panel);
}

void request_whole_repaint(Panel& panel)
{
    if (panel.due.gathering)
        panel.due.whole_bar = true;
    else
        redraw_panel(panel);
}

void request_list_repaint(Panel& panel)
{
    if (panel.due.gathering)
        panel.due.list = true;
    else
        redraw_panel(panel);
}

void request_button_repaint(Panel& panel, TrackedWindow& record)
{
    if (!panel.due.gathering) {
        draw_client_button(panel, record);
        return;
    }
    record.repaint_due = true;
    panel.due.buttons = true;
}

void request_clock_repaint(Panel& panel)
{
    if (panel.due.gathering)
        panel.due.clock = true;
    else
        draw_clock(panel);
}

void paint_due(Panel& panel)
{
    if (panel.due.whole_bar || (panel.due.list && !row_alone_changed(panel))) {
        redraw_panel(panel);
        return;
    }
    if (panel.due.list)
        repaint_list(panel);
    if (panel.due.buttons) {
        panel.due.buttons = false;
        for (TrackedWindow* record = panel.first_client; record; record = record->next) {
            if (record->repaint_due) {
                record->repaint_due = false;
                draw_client_button(panel, *record);
            }
        }
    }
    if (panel.due.clock) {
        panel.due.clock = false;
        draw_clock(panel);
    }
}
