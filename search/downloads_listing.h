#pragma once

#include "search/refreshing_cache.h"

#include <nlohmann/json.hpp>

#include <filesystem>

namespace zevra {

// The regular files directly in the downloads folder (hidden ones and links left out), newest
// first, ties in listing order: {"name", "size", "mtime", "ext", "url"} each. Empty when the
// folder cannot be listed.
[[nodiscard]] nlohmann::json scanDownloadsDirectory(const std::filesystem::path& folder);

// The listing the shell polls, rescanned in the background when older than 5 seconds.
class DownloadsIndex {
public:
    DownloadsIndex(std::filesystem::path folder, const Clock& clock, BackgroundExecutor& executor);

    // The last completed scan (empty before the first); may start a rescan, never waits.
    [[nodiscard]] nlohmann::json downloadsListing();

private:
    RefreshingCache<nlohmann::json> cache_;
};

} // namespace zevra
