#include "platform/light_theme_name.h"

#include "base/ascii.h"

namespace zevra {
namespace {

bool endsWithDark(std::string_view text, char separator) {
    constexpr std::string_view dark = "dark";
    return text.size() > dark.size() + 1 && text[text.size() - dark.size() - 1] == separator &&
           asciiLowerCase(std::string(text.substr(text.size() - dark.size()))) == dark;
}

} // namespace

std::string lightThemeName(std::string_view theme) {
    // "NAME:dark" picks a variant of NAME; "NAME-dark" is a theme of its own beside NAME.
    constexpr std::size_t suffix = std::string_view(":dark").size();
    if (endsWithDark(theme, ':')) {
        theme.remove_suffix(suffix);
    }
    if (endsWithDark(theme, '-')) {
        theme.remove_suffix(suffix);
    }
    return std::string(theme);
}

} // namespace zevra
