#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// The Unicode scalars of UTF-8 text; nothing when the bytes are not well-formed UTF-8.
[[nodiscard]] std::optional<std::u32string> unicodeScalars(std::string_view utf8);

// User-perceived characters (extended grapheme clusters), the unit every length limit of the
// release checks counts in; nothing when the text is not well-formed UTF-8.
[[nodiscard]] std::optional<std::int64_t> characterCount(std::string_view utf8);

// True when the text is well-formed UTF-8 of at most `limit` user-perceived characters.
[[nodiscard]] bool hasAtMostCharacters(std::string_view utf8, std::int64_t limit);

// True when every byte is "0"-"9" (the empty text included).
[[nodiscard]] bool isDecimalDigits(std::string_view text);

// "A"-"Z" turned into "a"-"z"; every other byte kept.
[[nodiscard]] std::string asciiLowerCase(std::string text);

// Canonical composed form (NFC), then lower case with the root locale; nothing on bad input.
[[nodiscard]] std::optional<std::string> composedLowerCase(std::string_view utf8);

// The full case fold in canonical decomposed form: two texts give the same result when they
// match without regard to case ("Straße" and "STRASSE", final and medial sigma) or to
// composition; nothing on bad input.
[[nodiscard]] std::optional<std::string> canonicalCaseFold(std::string_view utf8);

} // namespace zevra
