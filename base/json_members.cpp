#include "base/json_members.h"

#include <algorithm>

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

} // namespace zevra
