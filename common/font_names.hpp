// Core font names (XLFD): the ISO 10646 cut of a face and its spacing.
// Plain strings in and out, no X.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The same face with the charset fields replaced by "iso10646-1"; nullopt
// for a name that is not a full XLFD name (14 fields, each after a "-").
std::optional<std::string> unicode_cut_name(std::string_view xlfd);

// Whether the face is a character-cell one (spacing "c"): every glyph
// advances by the cell width, so it needs no per-character metrics.
bool is_character_cell(std::string_view xlfd);
