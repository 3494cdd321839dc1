#include "update/json_values.h"

namespace zevra {

bool exactStringSet(const nlohmann::json* value, const std::set<std::string>& expected) {
    if (value == nullptr || !value->is_array() || value->size() != expected.size()) {
        return false;
    }
    std::set<std::string> found;
    for (const auto& element : *value) {
        if (!element.is_string()) {
            return false;
        }
        found.insert(element.get<std::string>());
    }
    return found == expected;
}

std::optional<std::map<std::string, std::string>> stringDictionary(const nlohmann::json* value) {
    if (value == nullptr || !value->is_object()) {
        return std::nullopt;
    }
    std::map<std::string, std::string> result;
    for (const auto& [key, element] : value->items()) {
        if (!element.is_string()) {
            return std::nullopt;
        }
        result.emplace(key, element.get<std::string>());
    }
    return result;
}

} // namespace zevra
