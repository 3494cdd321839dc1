#pragma once

#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zevra {

// Arrays and objects nested deeper than this make a document "not JSON": every writer that
// walks the tree later recurses, and a hostile file must not exhaust the stack.
inline constexpr std::size_t maximumDocumentNestingDepth = 512;

// Parses a whole document as JSON; empty when it is not well-formed JSON (UTF-8 included) or
// nests too deeply. Never throws.
[[nodiscard]] std::optional<nlohmann::json> parseDocumentJSON(std::string_view data);

} // namespace zevra
