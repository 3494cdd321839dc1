#include "platform/bundle.h"

#include "platform/property_list_file.h"

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
    const PropertyList root = readPropertyList(infoPlist);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        return std::nullopt;
    }
    return stringValue(plist_dict_get_item(root.get(), key.c_str()));
}

std::optional<std::string> mainBundleInfoString(const std::string& key) {
    return infoPlistString(infoPlistPathForExecutable(executablePath()), key);
}

} // namespace zevra
