#pragma once

#include <string>
#include <string_view>

namespace zevra {

[[nodiscard]] bool isValidUtf8(std::string_view bytes);

// The bytes as UTF-8 text, each maximal invalid subsequence replaced by U+FFFD.
[[nodiscard]] std::string utf8WithReplacement(std::string_view bytes);

// The text without the white space and line breaks at either end: every Unicode White_Space
// character (ASCII ones, U+0085, U+00A0, U+2028, U+2029 and the other spaces), as UTF-8.
[[nodiscard]] std::string_view trimmedWhiteSpaceAndLineBreaks(std::string_view text);

} // namespace zevra
