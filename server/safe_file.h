#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace zevra {

// `relativePath` under `root`, with ".." steps and symbolic links resolved, when the result
// lies strictly inside the root; absent otherwise (the root itself included) and for any path
// containing a NUL character.
[[nodiscard]] std::optional<std::filesystem::path> safeFile(const std::filesystem::path& root,
                                                            std::string_view relativePath);

} // namespace zevra
