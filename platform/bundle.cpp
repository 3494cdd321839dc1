#include "platform/bundle.h"

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace zevra {

std::filesystem::path executablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path{} : path;
}

std::filesystem::path resourcesPathForExecutable(const std::filesystem::path& executable) {
    return executable.parent_path().parent_path() / "Resources";
}

std::filesystem::path infoPlistPathForExecutable(const std::filesystem::path& executable) {
    return executable.parent_path().parent_path() / "Info.plist";
}

std::optional<std::string> infoPlistString(const std::filesystem::path& infoPlist,
                                           const std::string& key) {
    std::ifstream in(infoPlist, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
    const std::unique_ptr<void, void (*)(plist_t)> owner(root, plist_free);
    if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) {
        return std::nullopt;
    }
    plist_t node = plist_dict_get_item(root, key.c_str());
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    char* value = nullptr;
    plist_get_string_val(node, &value);
    if (value == nullptr) {
        return std::nullopt;
    }
    std::string result(value);
    std::free(value);
    return result;
}

std::optional<std::string> mainBundleInfoString(const std::string& key) {
    return infoPlistString(infoPlistPathForExecutable(executablePath()), key);
}

} // namespace zevra
