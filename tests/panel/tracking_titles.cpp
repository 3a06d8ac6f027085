// Where a button's title comes from and how it is held, in every encoding a
// client may use, under a UTF-8 locale and the C locale alike; and how it
// follows _NET_WM_NAME.
#include "tracking_in_process.hpp"

#include <X11/Xatom.h>

namespace {

using Tracking = InProcessPanel;

const std::string GREEK = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC";  // Ελληνικά
const std::string FFFD = "\xEF\xBF\xBD";

TextValue utf8_text(std::string bytes) { return {std::move(bytes), "UTF8_STRING", 8}; }

struct Encoded {
    const char* what;
    std::optional<TextValue> wm_name;
    std::optional<TextValue> net_wm_name;
    std::optional<std::string> title;
    TextEncoding encoding;
    bool from_net_wm_name;
};

const Encoded encodings[] = {
    {"STRING with byte 0xE9", string_text("caf\xE9"), {}, "caf\xE9", TextEncoding::Latin1, false},
    {"UTF-8 WM_NAME", utf8_text("gr\xC3\xBCn"), {}, "gr\xC3\xBCn", TextEncoding::Utf8, false},
    {"bad UTF-8 WM_NAME", utf8_text("a\xFF\xE2\x82"), {}, "a" + FFFD + FFFD, TextEncoding::Utf8, false},
    {"COMPOUND_TEXT Latin-1 half", compound_text("Gr\xFC\xDF" "e"), {}, "Gr\xC3\xBC\xC3\x9F" "e",
     TextEncoding::Utf8, false},
    {"COMPOUND_TEXT Cyrillic", compound_text("\x1B-L\xBF\xE0\xD8"), {}, "\xD0\x9F\xD1\x80\xD0\xB8",
     TextEncoding::Utf8, false},
    {"only _NET_WM_NAME", {}, utf8_text(GREEK), GREEK, TextEncoding::Utf8, true},
    {"_NET_WM_NAME over WM_NAME", string_text("Ellinika"), utf8_text(GREEK + std::string("\0x", 2)),
     GREEK, TextEncoding::Utf8, true},
    {"bad UTF-8 _NET_WM_NAME", string_text("plain"), utf8_text("\xC0\x80"), "plain", TextEncoding::Latin1, false},
    {"_NET_WM_NAME of type STRING", string_text("plain"), string_text("x"), "plain", TextEncoding::Latin1, false},
    {"empty _NET_WM_NAME", string_text("plain"), utf8_text(""), "plain", TextEncoding::Latin1, false},
    {"_NET_WM_NAME of format 16", string_text("plain"), TextValue{"ab", "UTF8_STRING", 16}, "plain",
     TextEncoding::Latin1, false},
    {"neither", {}, {}, std::nullopt, TextEncoding::Latin1, false},
};

TEST_F(Tracking, titles_are_held_as_written_in_every_encoding_and_locale)
{
    for (const char* locale : {"C.UTF-8", "C"}) {
        ASSERT_TRUE(std::setlocale(LC_ALL, locale));
        for (const Encoded& e : encodings) {
            SCOPED_TRACE(std::string(locale) + ": " + e.what);
            ClientSetup setup;
            setup.name = e.wm_name;
            const Window window = wm->create_client(setup);
            if (e.net_wm_name && e.net_wm_name->format == 8)
                wm->set_bytes_property(window, "_NET_WM_NAME", e.net_wm_name->type.c_str(), e.net_wm_name->bytes);
            else if (e.net_wm_name)
                wm->set_property(window, "_NET_WM_NAME", e.net_wm_name->type.c_str(), 16, {'a', 'b'});
            TitleKind kind;
            EXPECT_EQ(read_title(window, nullptr, &kind), e.title);
            EXPECT_EQ(kind.encoding, e.encoding);
            EXPECT_EQ(kind.from_net_wm_name, e.from_net_wm_name);
        }
    }
}

TEST_F(Tracking, a_net_wm_name_change_repaints_and_its_deletion_brings_back_the_wm_name)
{
    const Window a = client("old"), b = client();
    wm->set_bytes_property(a, "_NET_WM_NAME", "UTF8_STRING", GREEK);
    wm->set_net_client_list({a, b});
    root_changed(NetClientList);
    EXPECT_EQ(record(a).title, GREEK);
    paint_and_mark();

    wm->set_bytes_property(a, "_NET_WM_NAME", "UTF8_STRING", "\xCE\xBD\xCE\xAD\xCE\xBF");
    changed(a, ds.atoms[NetWmName]);
    EXPECT_EQ(record(a).title, "\xCE\xBD\xCE\xAD\xCE\xBF");
    EXPECT_TRUE(repainted(a));
    EXPECT_FALSE(repainted(b));

    // The older name changing under a _NET_WM_NAME changes nothing.
    paint_and_mark();
    wm->set_name(a, string_text("newer"));
    changed(a, XA_WM_NAME);
    EXPECT_EQ(record(a).title, "\xCE\xBD\xCE\xAD\xCE\xBF");
    EXPECT_FALSE(repainted(a));

    wm->delete_property(a, "_NET_WM_NAME");
    changed(a, ds.atoms[NetWmName]);
    EXPECT_EQ(record(a).title, "newer");
    EXPECT_EQ(record(a).title_kind.encoding, TextEncoding::Latin1);
    EXPECT_TRUE(repainted(a));

    // Now WM_NAME speaks again.
    wm->set_name(a, compound_text("caf\xE9"));
    changed(a, XA_WM_NAME);
    EXPECT_EQ(record(a).title, "caf\xC3\xA9");

    // With neither name the button has no title, and the next WM_NAME shows.
    wm->set_bytes_property(a, "_NET_WM_NAME", "UTF8_STRING", GREEK);
    changed(a, ds.atoms[NetWmName]);
    wm->delete_property(a, "_NET_WM_NAME");
    wm->set_name(a, std::nullopt);
    changed(a, ds.atoms[NetWmName]);
    EXPECT_FALSE(record(a).title.has_value());
    wm->set_name(a, string_text("back"));
    changed(a, XA_WM_NAME);
    EXPECT_EQ(record(a).title, "back");
}

}  // namespace
