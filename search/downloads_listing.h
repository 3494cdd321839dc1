#pragma once

#include "search/refreshing_cache.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zevra {

// One saved download as the shell lists it.
struct DownloadItem {
    std::string name;      // the file name, as UTF-8
    std::int64_t size = 0; // bytes
    double mtime = 0;      // seconds since 1970
    std::string ext;       // lower-cased extension, "" when none
    std::string url;       // "/downloads/" + the name percent-encoded
};

// The regular files directly in the downloads folder (hidden ones and links left out), newest
// first, ties in listing order. Empty when the folder cannot be listed.
[[nodiscard]] std::vector<DownloadItem> scanDownloadsDirectory(const std::filesystem::path& folder);

// The items as a JSON array of {"ext", "mtime", "name", "size", "url"} objects.
[[nodiscard]] std::string downloadsJSON(const std::vector<DownloadItem>& items);

// The listing the shell polls, rescanned in the background when older than 5 seconds and kept
// as JSON text: a poll costs a copy, whatever the folder holds.
class DownloadsIndex {
public:
    DownloadsIndex(std::filesystem::path folder, const Clock& clock, BackgroundExecutor& executor);

    // The last completed scan ("[]" before the first); may start a rescan, never waits.
    [[nodiscard]] std::shared_ptr<const std::string> downloadsListing();

private:
    RefreshingCache<std::string> cache_;
};

} // namespace zevra
