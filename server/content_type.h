#pragma once

#include <filesystem>
#include <string_view>

namespace zevra {

// The content type served for a file, by its extension in any case.
[[nodiscard]] std::string_view contentTypeForFile(const std::filesystem::path& file);

} // namespace zevra
