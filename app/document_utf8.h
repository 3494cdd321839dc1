#pragma once

#include <cstddef>
#include <string_view>

namespace zevra {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
[[nodiscard]] bool isValidUTF8(std::string_view bytes);

// Length of the well-formed sequence starting at `at` (1 to 4), or 0 when it is malformed.
[[nodiscard]] std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);

} // namespace zevra
