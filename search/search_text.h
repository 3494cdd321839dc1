#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zevra {

// Lower-cased, with every run of characters that are not letters, marks or digits turned into
// one space and none at either end: "Hello, World_2!" gives "hello world 2".
[[nodiscard]] std::string normalizedSearchText(std::string_view text);

// A file's base name as a title: "_", "-", "(" and ")" become spaces, white space runs collapse,
// each word is capitalised ("my_tool-v2 (final)" gives "My Tool V2 Final"); the name itself
// when nothing is left.
[[nodiscard]] std::string prettyTitle(std::string_view name);

// At most 180 characters of a document's text with white space collapsed and "#" and "`"
// removed; "Local <EXT> document." when it cannot be read or nothing is left.
[[nodiscard]] std::string docSummary(const std::filesystem::path& file);

// A file's extension without its dot, ASCII letters lower-cased; "" when it has none.
[[nodiscard]] std::string lowercaseExtension(const std::filesystem::path& file);

// Catalogue documents are read whole only up to this size.
inline constexpr std::size_t largestCatalogueDocument = 200000;

} // namespace zevra
