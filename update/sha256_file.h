#pragma once

#include "base/read_only_file.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zevra {

// The file's SHA-256 as 64 lower-case hexadecimal digits; nothing when it cannot be read.
[[nodiscard]] std::optional<std::string> sha256File(const std::filesystem::path& file);

// The same for a file already open, read from its first byte whatever the descriptor's offset.
[[nodiscard]] std::optional<std::string> sha256File(const ReadOnlyFile& file);

} // namespace zevra
