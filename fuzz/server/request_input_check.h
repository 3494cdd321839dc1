#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zevra::fuzzing {

// Feeds one input through the request reader, the header parsers, the path normalisation and
// the file resolution. The first byte picks the size of the pieces the rest arrives in.
// Returns a description of the first rule the results break; absent when all hold.
[[nodiscard]] std::optional<std::string> requestInputViolation(std::string_view input);

} // namespace zevra::fuzzing
