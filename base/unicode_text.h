#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// User-perceived characters (extended grapheme clusters), the unit length limits count in; nothing
// when the text is not well-formed UTF-8.
[[nodiscard]] std::optional<std::int64_t> characterCount(std::string_view utf8);

// True when the text is well-formed UTF-8 of at most `limit` user-perceived characters.
[[nodiscard]] bool hasAtMostCharacters(std::string_view utf8, std::int64_t limit);

// The first `count` user-perceived characters of UTF-8 text, all of it when it is shorter;
// invalid sequences count as U+FFFD.
[[nodiscard]] std::string leadingCharacters(std::string_view utf8, std::int64_t count);
// Canonical composed form (NFC), then lower case with the root locale; nothing on bad input.
[[nodiscard]] std::optional<std::string> composedLowerCase(std::string_view utf8);

// The full case fold in canonical decomposed form: two texts give the same result when they
// match without regard to case ("Straße" and "STRASSE", final and medial sigma) or to
// composition; nothing on bad input.
[[nodiscard]] std::optional<std::string> canonicalCaseFold(std::string_view utf8);

} // namespace zevra
