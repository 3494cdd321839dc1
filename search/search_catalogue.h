#pragma once

#include "search/refreshing_cache.h"
#include "search/search_ranking.h"

#include <nlohmann/json_fwd.hpp>

#include <filesystem>
#include <string_view>
#include <vector>

namespace zevra {

// The catalogue the shell's search box searches: the fixed rows at first, then also the local
// tools and workspace documents, rebuilt in the background when older than 20 seconds.
class SearchCatalogue {
public:
    SearchCatalogue(std::filesystem::path resourcesPath, const Clock& clock,
                    BackgroundExecutor& executor);

    // The catalogue as it is now; may start a rebuild, never waits for one.
    [[nodiscard]] std::shared_ptr<const SearchIndex> searchEntries();
    // The result records for a query, best first, at most twelve.
    [[nodiscard]] nlohmann::json performSearch(std::string_view query);

private:
    RefreshingCache<SearchIndex> cache_;
};

// Every row the catalogue holds once rebuilt: fixed rows, tools, then documents.
[[nodiscard]] std::vector<SearchEntry>
fullSearchCatalogue(const std::filesystem::path& resourcesPath);

} // namespace zevra
