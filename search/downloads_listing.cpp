#include "search/downloads_listing.h"

#include "base/percent_encoding.h"
#include "base/utf8.h"
#include "search/search_text.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zevra {
nlohmann::json scanDownloadsDirectory(const std::filesystem::path& folder) {
    struct Item {
        double mtime;
        nlohmann::json record;
    };
    std::vector<Item> items;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        struct stat status {};
        // lstat: a link is left out like a folder, whatever it points at.
        if (name.starts_with('.') || ::lstat(it->path().c_str(), &status) != 0 ||
            !S_ISREG(status.st_mode)) {
            continue;
        }
        const double mtime = static_cast<double>(status.st_mtim.tv_sec) +
                             static_cast<double>(status.st_mtim.tv_nsec) / 1e9;
        items.push_back({mtime,
                         {{"name", utf8WithReplacement(name)},
                          {"size", static_cast<std::int64_t>(status.st_size)},
                          {"mtime", mtime},
                          {"ext", utf8WithReplacement(lowercaseExtension(it->path()))},
                          {"url", "/downloads/" + percentEncodedForPath(name)}}});
    }
    std::ranges::stable_sort(items, std::ranges::greater{}, &Item::mtime);
    nlohmann::json listing = nlohmann::json::array();
    for (auto& item : items) {
        listing.push_back(std::move(item.record));
    }
    return listing;
}

DownloadsIndex::DownloadsIndex(std::filesystem::path folder, const Clock& clock,
                               BackgroundExecutor& executor)
    : cache_(
          clock, executor, std::chrono::seconds(5),
          [folder] { return scanDownloadsDirectory(folder); }, nlohmann::json::array()) {}

nlohmann::json DownloadsIndex::downloadsListing() {
    return *cache_.current();
}

} // namespace zevra
