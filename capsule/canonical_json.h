#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace zevra {

// The form capsules are hashed in: compact, members ordered by the UTF-8 bytes of their keys,
// "/" left as it is, control characters escaped as \b \f \n \r \t or \u00xx, other text raw.
// Numbers are written the way the capsule producer writes them: integers in full, fractional
// numbers as the shortest text that reads back to the same double, in fixed notation with a
// trailing ".0" for exponents -4 to 15 and in "1.5e+16" notation outside them. Infinite and
// NaN numbers cannot be written (the producer's readers reject them), nor values nested more
// than 512 deep: the result is then empty.
[[nodiscard]] std::optional<std::string> canonicalJSON(const nlohmann::json& value);

// Appends the canonical form; false (with `out` partly written) when it cannot be written.
[[nodiscard]] bool appendCanonicalJSON(std::string& out, const nlohmann::json& value);

// An absent value (null pointer) gives the empty text, a string itself, any other value its
// canonical JSON text.
[[nodiscard]] std::string textualForm(const nlohmann::json* value);

} // namespace zevra
