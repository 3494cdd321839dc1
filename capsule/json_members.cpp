#include "capsule/json_members.h"

#include <algorithm>

#include "capsule/canonical_json.h"

namespace zevra {

const nlohmann::json* findMember(const nlohmann::json& object, std::string_view key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

const std::string* stringMember(const nlohmann::json& object, std::string_view key) {
    const nlohmann::json* member = findMember(object, key);
    if (member == nullptr || !member->is_string()) {
        return nullptr;
    }
    return &member->get_ref<const std::string&>();
}

const nlohmann::json* objectMember(const nlohmann::json& object, std::string_view key) {
    const nlohmann::json* member = findMember(object, key);
    return member != nullptr && member->is_object() ? member : nullptr;
}

const nlohmann::json* objectListMember(const nlohmann::json& object, std::string_view key) {
    const nlohmann::json* member = findMember(object, key);
    if (member == nullptr || !member->is_array()) {
        return nullptr;
    }
    const bool allObjects = std::all_of(member->begin(), member->end(),
                                        [](const nlohmann::json& e) { return e.is_object(); });
    return allObjects ? member : nullptr;
}

std::string textualForm(const nlohmann::json* value) {
    if (value == nullptr) {
        return {};
    }
    if (value->is_string()) {
        return value->get_ref<const std::string&>();
    }
    return canonicalJSON(*value).value_or(std::string());
}

} // namespace zevra
