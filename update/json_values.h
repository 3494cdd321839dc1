#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <set>
#include <string>

namespace zevra {

// True when `value` is an array of strings with as many elements as `expected` and the same
// set of elements (order free; a duplicate fails).
[[nodiscard]] bool exactStringSet(const nlohmann::json* value,
                                  const std::set<std::string>& expected);

// The object as a map of strings; nothing when it is not an object or one value is not a string.
[[nodiscard]] std::optional<std::map<std::string, std::string>>
stringDictionary(const nlohmann::json* value);

} // namespace zevra
