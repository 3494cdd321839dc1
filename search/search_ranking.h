#pragma once

#include "search/search_entry.h"

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace zevra {

// A catalogue row with the texts searches compare, made once when the catalogue is built.
struct IndexedSearchEntry {
    SearchEntry entry;
    std::string titleText;   // normalised title
    std::string keywordText; // normalised keywords
    std::string sourceText;  // normalised source path
    std::string fullText;    // normalised title, summary, location, keywords and source path
    std::string titleOrder;  // the title's key in the user's case-insensitive order
};

[[nodiscard]] std::vector<IndexedSearchEntry>
indexedSearchEntries(std::vector<SearchEntry> entries);

// The best twelve entries for a query, best first: by score, then priority, then title in the
// user's order, then catalogue order. A query without letters or digits lists by priority.
[[nodiscard]] std::vector<const SearchEntry*>
rankedSearchEntries(const std::vector<IndexedSearchEntry>& index, std::string_view query);

// One result as the shell receives it; "tab", "source_path" and "keywords" only when not empty.
[[nodiscard]] nlohmann::json searchResultRecord(const SearchEntry& entry);

inline constexpr std::size_t maximumSearchResults = 12;

} // namespace zevra
