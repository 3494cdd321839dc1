#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace zevra {

// Receives decoded bytes in order, a bounded chunk at a time.
using Base64Sink = std::function<void(const unsigned char* bytes, std::size_t count)>;

// Standard Base64 ("+", "/", "=" padding), strictly: the length is a multiple of 4, padding
// only at the end, no white space or other characters. Bytes reach the sink in chunks so a
// large text never needs a second full-size buffer; false means the text was refused (the sink
// may already have seen some bytes).
[[nodiscard]] bool decodeBase64Strict(std::string_view text, const Base64Sink& sink);

// The same rule, collecting the bytes.
[[nodiscard]] std::optional<std::vector<unsigned char>> decodeBase64Strict(std::string_view text);

// True when every character belongs to the standard alphabet or is "=".
[[nodiscard]] bool isBase64AlphabetText(std::string_view text);

} // namespace zevra
