#pragma once

#include "base/unique_fd.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace zevra {

// An open regular file and its size when it was opened.
struct RegularFile {
    UniqueFd fd;
    std::size_t size = 0;
};

// Absent for anything but a regular file that can be opened for reading.
[[nodiscard]] std::optional<RegularFile> openRegularFile(const std::filesystem::path& path);

// Everything up to the end of the file, however much that is by now; absent on a read error.
[[nodiscard]] std::optional<std::string> readToEnd(const RegularFile& file);

} // namespace zevra
