#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace zevra {

// The paths, relative to `root`, of the regular files below it (hidden ones included).
// Nothing when the folder cannot be walked or holds a symbolic link or any other special file.
[[nodiscard]] std::optional<std::set<std::string>>
safeRegularFilePaths(const std::filesystem::path& root);

} // namespace zevra
