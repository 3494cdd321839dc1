#include "base/localized_order.h"
#include "base/percent_encoding.h"
#include "base/shell_address.h"
#include "base/utf8.h"
#include "search/catalogue_entries.h"
#include "search/local_roots.h"
#include "search/search_text.h"

#include <algorithm>
#include <string>

namespace zevra {
namespace {

// The folder's visible entries (no leading "."), by name in the user's order; none when it
// cannot be listed.
std::vector<std::filesystem::directory_entry>
visibleEntriesByName(const std::filesystem::path& folder) {
    struct Named {
        std::string key;
        std::filesystem::directory_entry entry;
    };
    std::vector<Named> named;
    const LocalizedTextOrder order;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with('.')) {
            named.push_back({order.sortKey(name), *it});
        }
    }
    std::ranges::stable_sort(named, {}, &Named::key);
    std::vector<std::filesystem::directory_entry> entries;
    entries.reserve(named.size());
    for (auto& item : named) {
        entries.push_back(std::move(item.entry));
    }
    return entries;
}

} // namespace

std::vector<SearchEntry>
buildVibeCodeEntries(const std::optional<std::filesystem::path>& toolsRoot) {
    std::vector<SearchEntry> entries;
    if (!toolsRoot) {
        return entries;
    }
    for (const auto& item : visibleEntriesByName(*toolsRoot)) {
        std::error_code error;
        if (lowercaseExtension(item.path()) != "html" || item.is_directory(error)) {
            continue;
        }
        const std::string name = item.path().filename().string();
        const std::string stem = utf8WithReplacement(item.path().stem().string());
        entries.push_back(SearchEntry{.title = prettyTitle(stem),
                                      .kind = "tool",
                                      .summary = "Local vibe-code tool available inside ZEVRA.",
                                      .location = "vibe codes",
                                      .openURL = std::string(loopbackBase) + "/vibe-codes/" +
                                                 percentEncodedForPath(name),
                                      .tab = std::nullopt,
                                      .keywords = {"tool", "vibe", "local", "html", stem},
                                      .sourcePath = utf8WithReplacement(item.path().string()),
                                      .priority = 80});
    }
    return entries;
}

std::vector<SearchEntry>
buildWorkspaceDocEntries(const std::optional<std::filesystem::path>& workspace) {
    struct Source {
        std::string_view folder;
        std::string_view kind;
    };
    constexpr Source sources[] = {{"_deploy/kelmor", "doc"}, {".ai-sync", "memory"}};
    std::vector<SearchEntry> entries;
    if (!workspace) {
        return entries;
    }
    for (const auto& [folder, kind] : sources) {
        for (const auto& item : visibleEntriesByName(*workspace / folder)) {
            const std::string extension = lowercaseExtension(item.path());
            if (extension != "md" && extension != "txt" && extension != "json") {
                continue;
            }
            std::error_code error;
            const auto size = item.file_size(error);
            if (!error && size > largestCatalogueDocument) {
                continue;
            }
            // Only what the viewer will show, so every listed document opens.
            if (!allowedWorkspaceFile(item.path().string())) {
                continue;
            }
            const std::string stem = utf8WithReplacement(item.path().stem().string());
            entries.push_back(SearchEntry{
                .title = prettyTitle(stem),
                .kind = std::string(kind),
                .summary = docSummary(item.path()),
                .location = std::string(folder),
                .openURL = workspaceViewURL(item.path().string()),
                .tab = std::nullopt,
                .keywords = {extension, std::string(folder), stem},
                .sourcePath = homeAbbreviated(utf8WithReplacement(item.path().string())),
                .priority = 120});
        }
    }
    return entries;
}

} // namespace zevra
