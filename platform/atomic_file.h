#pragma once

#include <filesystem>
#include <string_view>

namespace zevra {

// Writes `bytes` to a temporary file (mode 0600) in the same folder, syncs it and renames it
// over `path`, so readers see the old file or the new one, never a part.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace zevra
