#pragma once

#include "search/search_entry.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace zevra {

// The fixed rows: the site's sections, the built-in tools and the companion services, in
// catalogue order. A tool row names its file in `toolsRoot` when there is one.
[[nodiscard]] std::vector<SearchEntry>
curatedSearchEntries(const std::optional<std::filesystem::path>& toolsRoot);

// One row per HTML file directly in the tools folder, by name in the user's order.
[[nodiscard]] std::vector<SearchEntry>
buildVibeCodeEntries(const std::optional<std::filesystem::path>& toolsRoot);

// One row per small text document directly in the workspace's "_deploy/kelmor" and ".ai-sync".
[[nodiscard]] std::vector<SearchEntry>
buildWorkspaceDocEntries(const std::optional<std::filesystem::path>& workspace);

} // namespace zevra
