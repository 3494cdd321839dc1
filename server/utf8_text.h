#pragma once

#include <string>
#include <string_view>

namespace zevra {

[[nodiscard]] bool isValidUtf8(std::string_view bytes);

// The bytes as UTF-8 text, each maximal invalid subsequence replaced by U+FFFD.
[[nodiscard]] std::string utf8WithReplacement(std::string_view bytes);

} // namespace zevra
