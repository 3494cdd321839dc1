#include "update/update_defaults.h"

#include "platform/property_list_file.h"

namespace zevra {

std::optional<std::string> UpdateDefaults::string(const std::string& key) const {
    const std::scoped_lock hold(lock_);
    const auto root = readPropertyList(file_);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        return std::nullopt;
    }
    return stringValue(plist_dict_get_item(root.get(), key.c_str()));
}

bool UpdateDefaults::set(const std::string& key, const std::string& value) {
    return change(key, value);
}

bool UpdateDefaults::remove(const std::string& key) {
    return change(key, std::nullopt);
}

bool UpdateDefaults::change(const std::string& key, const std::optional<std::string>& value) {
    const std::scoped_lock hold(lock_);
    auto root = readPropertyList(file_);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        root.reset(plist_new_dict());
    }
    if (value) {
        plist_dict_set_item(root.get(), key.c_str(), plist_new_string(value->c_str()));
    } else {
        plist_dict_remove_item(root.get(), key.c_str());
    }
    std::error_code ignored;
    std::filesystem::create_directories(file_.parent_path(), ignored);
    return writePropertyListAtomically(file_, root.get());
}

} // namespace zevra
