#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zevra {

// The file's SHA-256 as 64 lower-case hexadecimal digits; nothing when it cannot be read.
[[nodiscard]] std::optional<std::string> sha256File(const std::filesystem::path& file);

} // namespace zevra
