#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace zevra::testing {

// Small edits of a JSON document, addressed by JSON pointer, for tables of mutations.
using JsonChange = std::function<void(nlohmann::json&)>;
using Pointer = nlohmann::json::json_pointer;

inline JsonChange put(const std::string& at, const nlohmann::json& value) {
    return [=](nlohmann::json& m) { m[Pointer(at)] = value; };
}

inline JsonChange erase(const std::string& key) {
    return [=](nlohmann::json& m) { m.erase(key); };
}

inline JsonChange copyTo(const std::string& from, const std::string& to) {
    return [=](nlohmann::json& m) { m[Pointer(to)] = m[Pointer(from)]; };
}

inline JsonChange swapAt(const std::string& a, const std::string& b) {
    return [=](nlohmann::json& m) { std::swap(m[Pointer(a)], m[Pointer(b)]); };
}

} // namespace zevra::testing
