#include "webshell/theme_colour.h"

#include "base/ascii.h"

#include <algorithm>

namespace zevra {
namespace {

bool isSpaceOrLineBreak(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

std::optional<std::string> themeColour(const nlohmann::json& body) {
    if (!body.is_string()) {
        return std::nullopt;
    }
    std::string_view text = body.get_ref<const std::string&>();
    while (!text.empty() && isSpaceOrLineBreak(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpaceOrLineBreak(text.back())) {
        text.remove_suffix(1);
    }
    if (text.starts_with('#')) {
        text.remove_prefix(1);
    }
    if (text.size() != 6 || !std::all_of(text.begin(), text.end(), isHexDigit)) {
        return std::nullopt;
    }
    std::string colour = "#";
    colour.append(asciiLowerCase(std::string(text)));
    return colour;
}

} // namespace zevra
