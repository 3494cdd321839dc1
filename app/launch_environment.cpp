#include "app/launch_environment.h"

#include "base/shell_address.h"

#include <algorithm>
#include <string_view>

namespace zevra {
namespace {

bool isSchemeCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// Characters no URL may hold unescaped.
bool isForbidden(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7f ||
           std::string_view("<>\"{}|\\^`").find(c) != std::string_view::npos;
}

// A scheme ("http:", "file:", ...) and something after it; a relative address has nothing
// to load against.
bool parsesAsAbsoluteURL(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == 0 || colon == std::string_view::npos || colon + 1 == text.size()) {
        return false;
    }
    const std::string_view scheme = text.substr(0, colon);
    const bool schemeStartsWithLetter = (scheme.front() >= 'a' && scheme.front() <= 'z') ||
                                        (scheme.front() >= 'A' && scheme.front() <= 'Z');
    return schemeStartsWithLetter && std::all_of(scheme.begin(), scheme.end(), isSchemeCharacter) &&
           std::none_of(text.begin(), text.end(), isForbidden);
}

} // namespace

bool developerExtrasEnabled(const char* devtoolsValue) {
    return devtoolsValue != nullptr && std::string_view(devtoolsValue) == "1";
}

std::string firstPageURL(const char* initialURLValue) {
    if (initialURLValue != nullptr && parsesAsAbsoluteURL(initialURLValue)) {
        return initialURLValue;
    }
    return std::string(shellPageURL);
}

} // namespace zevra
