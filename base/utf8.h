#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// Length of the well-formed UTF-8 sequence starting at `at` (1 to 4), or 0 when it is malformed:
// no overlong forms, no surrogates, nothing above U+10FFFF.
[[nodiscard]] std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);

[[nodiscard]] bool isValidUtf8(std::string_view bytes);

// The bytes as UTF-8 text, each maximal invalid subsequence replaced by U+FFFD.
[[nodiscard]] std::string utf8WithReplacement(std::string_view bytes);

// The Unicode scalars of UTF-8 text; nothing when the bytes are not well-formed UTF-8.
[[nodiscard]] std::optional<std::u32string> unicodeScalars(std::string_view utf8);

// Appends one scalar (at most U+10FFFF, not a surrogate) as UTF-8.
void appendUtf8(std::string& text, char32_t scalar);

// The text without the white space and line breaks at either end: every Unicode White_Space
// character (ASCII ones, U+0085, U+00A0, U+2028, U+2029 and the other spaces), as UTF-8.
[[nodiscard]] std::string_view trimmedWhiteSpaceAndLineBreaks(std::string_view text);

inline constexpr std::string_view replacementCharacterUtf8 = "\xEF\xBF\xBD";

} // namespace zevra
