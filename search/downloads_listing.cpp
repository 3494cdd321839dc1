#include "search/downloads_listing.h"

#include "base/json_string.h"
#include "base/percent_encoding.h"
#include "base/utf8.h"
#include "search/search_text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <memory>

namespace zevra {
namespace {

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

} // namespace

std::vector<DownloadItem> scanDownloadsDirectory(const std::filesystem::path& folder) {
    std::vector<DownloadItem> items;
    const std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.c_str()));
    if (!directory) {
        return items;
    }
    // Each entry is looked at relative to the open folder: one system call a file.
    const int folderFd = ::dirfd(directory.get());
    while (const dirent* entry = ::readdir(directory.get())) {
        const std::string_view name = entry->d_name;
        struct stat status {};
        // A link is left out like a folder, whatever it points at.
        if (name.starts_with('.') ||
            ::fstatat(folderFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode)) {
            continue;
        }
        items.push_back(
            DownloadItem{.name = utf8WithReplacement(name),
                         .size = static_cast<std::int64_t>(status.st_size),
                         .mtime = static_cast<double>(status.st_mtim.tv_sec) +
                                  static_cast<double>(status.st_mtim.tv_nsec) / 1e9,
                         .ext = utf8WithReplacement(lowercaseExtension(std::string(name))),
                         .url = "/downloads/" + percentEncodedForPath(name)});
    }
    std::ranges::stable_sort(items, std::ranges::greater{}, &DownloadItem::mtime);
    return items;
}

std::string downloadsJSON(const std::vector<DownloadItem>& items) {
    std::string json = "[";
    json.reserve(items.size() * 120 + 2);
    for (const DownloadItem& item : items) {
        json.append(json.size() == 1 ? "{\"ext\":" : ",{\"ext\":");
        appendJSONString(json, item.ext);
        char number[32];
        const auto mtimeEnd = std::to_chars(number, number + sizeof number, item.mtime).ptr;
        json.append(",\"mtime\":").append(number, mtimeEnd).append(",\"name\":");
        appendJSONString(json, item.name);
        json.append(",\"size\":").append(std::to_string(item.size)).append(",\"url\":");
        appendJSONString(json, item.url);
        json.push_back('}');
    }
    json.push_back(']');
    return json;
}

DownloadsIndex::DownloadsIndex(std::filesystem::path folder, const Clock& clock,
                               BackgroundExecutor& executor)
    : cache_(
          clock, executor, std::chrono::seconds(5),
          [folder] { return downloadsJSON(scanDownloadsDirectory(folder)); }, "[]") {}

std::shared_ptr<const std::string> DownloadsIndex::downloadsListing() {
    return cache_.current();
}

} // namespace zevra
