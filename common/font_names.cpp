#include "font_names.hpp"

#include <array>
#include <cctype>

namespace {

constexpr std::size_t XLFD_FIELDS = 14;
constexpr std::size_t SPACING_FIELD = 10;   // counted from 0
constexpr std::size_t REGISTRY_FIELD = 12;  // the charset is registry-encoding

// Where each field starts (just after its "-"), when the name has them all.
std::optional<std::array<std::size_t, XLFD_FIELDS>> field_starts(std::string_view xlfd)
{
    std::array<std::size_t, XLFD_FIELDS> starts{};
    std::size_t count = 0;
    for (std::size_t i = 0; i < xlfd.size(); ++i) {
        if (xlfd[i] != '-')
            continue;
        if (count == XLFD_FIELDS)
            return std::nullopt;
        starts[count++] = i + 1;
    }
    if (count != XLFD_FIELDS || xlfd.empty() || xlfd[0] != '-')
        return std::nullopt;
    return starts;
}

}  // namespace

std::optional<std::string> unicode_cut_name(std::string_view xlfd)
{
    const auto starts = field_starts(xlfd);
    if (!starts)
        return std::nullopt;
    return std::string(xlfd.substr(0, (*starts)[REGISTRY_FIELD])) + "iso10646-1";
}

bool is_character_cell(std::string_view xlfd)
{
    const auto starts = field_starts(xlfd);
    if (!starts)
        return false;
    const std::size_t at = (*starts)[SPACING_FIELD];
    return at + 1 < xlfd.size() && xlfd[at + 1] == '-' &&
           std::tolower(static_cast<unsigned char>(xlfd[at])) == 'c';
}
