#pragma once

#include <string>
#include <string_view>

namespace zevra {

[[nodiscard]] constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
[[nodiscard]] constexpr bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
[[nodiscard]] constexpr bool isAsciiHexDigit(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when every byte is "0"-"9" (the empty text included).
[[nodiscard]] bool isDecimalDigits(std::string_view text);

// "A"-"Z" turned into "a"-"z"; every other byte kept.
[[nodiscard]] std::string asciiLowerCase(std::string text);

} // namespace zevra
