#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace zevra {

// The "themeChange" message's colour: a string of six hexadecimal digits, optionally after
// one "#", white space around it ignored. Returns "#rrggbb" in lower case, absent otherwise.
[[nodiscard]] std::optional<std::string> themeColour(const nlohmann::json& body);

} // namespace zevra
