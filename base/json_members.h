#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zevra {

// Lookups that treat a missing member and a member of another type alike.

// The member, or null when `object` is not an object or has no such key.
[[nodiscard]] const nlohmann::json* findMember(const nlohmann::json& object, std::string_view key);

// The member when it is a string.
[[nodiscard]] const std::string* stringMember(const nlohmann::json& object, std::string_view key);

// The member when it is an object.
[[nodiscard]] const nlohmann::json* objectMember(const nlohmann::json& object,
                                                 std::string_view key);

// The member when it is an array whose every element is an object.
[[nodiscard]] const nlohmann::json* objectListMember(const nlohmann::json& object,
                                                     std::string_view key);

} // namespace zevra
