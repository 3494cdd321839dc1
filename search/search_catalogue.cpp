#include "search/search_catalogue.h"

#include "search/catalogue_entries.h"
#include "search/local_roots.h"

#include <nlohmann/json.hpp>

namespace zevra {

std::vector<SearchEntry> fullSearchCatalogue(const std::filesystem::path& resourcesPath) {
    const auto toolsRoot = vibeToolsRoot(resourcesPath);
    auto entries = curatedSearchEntries(toolsRoot);
    for (auto&& more :
         {buildVibeCodeEntries(toolsRoot), buildWorkspaceDocEntries(workspaceRoot())}) {
        entries.insert(entries.end(), more.begin(), more.end());
    }
    return entries;
}

SearchCatalogue::SearchCatalogue(std::filesystem::path resourcesPath, const Clock& clock,
                                 BackgroundExecutor& executor)
    : cache_(
          clock, executor, std::chrono::seconds(20),
          [resourcesPath] { return indexedSearchEntries(fullSearchCatalogue(resourcesPath)); },
          indexedSearchEntries(curatedSearchEntries(vibeToolsRoot(resourcesPath)))) {}

std::shared_ptr<const SearchIndex> SearchCatalogue::searchEntries() {
    return cache_.current();
}

nlohmann::json SearchCatalogue::performSearch(std::string_view query) {
    const auto entries = searchEntries();
    nlohmann::json results = nlohmann::json::array();
    for (const SearchEntry* entry : rankedSearchEntries(*entries, query)) {
        results.push_back(searchResultRecord(*entry));
    }
    return results;
}

} // namespace zevra
