#include "update/safe_regular_file_paths.h"

#include <system_error>

namespace zevra {

std::optional<std::set<std::string>> safeRegularFilePaths(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::recursive_directory_iterator walker(root, fs::directory_options::none, error);
    if (error) {
        return std::nullopt;
    }
    const std::string rootPrefix = root.lexically_normal().string();
    const std::string prefix = rootPrefix.back() == '/' ? rootPrefix : rootPrefix + "/";
    std::set<std::string> files;
    for (auto end = fs::recursive_directory_iterator(); walker != end; walker.increment(error)) {
        if (error) {
            return std::nullopt;
        }
        const auto status = walker->symlink_status(error);
        if (error || fs::is_symlink(status)) {
            return std::nullopt;
        }
        const std::string path = walker->path().lexically_normal().string();
        if (path.rfind(prefix, 0) != 0) {
            return std::nullopt;
        }
        if (fs::is_directory(status)) {
            continue;
        }
        if (!fs::is_regular_file(status)) {
            return std::nullopt;
        }
        files.insert(path.substr(prefix.size()));
    }
    if (error) {
        return std::nullopt;
    }
    return files;
}

} // namespace zevra
