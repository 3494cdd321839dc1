#pragma once

#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace zevra {

// Writes `bytes` to a temporary file in the same folder, gives it `mode`, and renames it over
// `path`, so a reader finds the old file or the new one, never part of one.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       mode_t mode = 0600);

} // namespace zevra
