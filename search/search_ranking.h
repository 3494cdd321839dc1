#pragma once

#include "search/search_entry.h"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zevra {

// Which pairs of adjacent bytes a text holds, hashed into 256 bits: a text lacking one of a
// term's pairs cannot contain the term, which rules most rows out without reading them.
using BytePairSet = std::array<std::uint64_t, 4>;
[[nodiscard]] BytePairSet bytePairsOf(std::string_view text);

// A catalogue row with the texts searches compare, made once when the catalogue is built.
struct IndexedSearchEntry {
    SearchEntry entry;
    std::string titleText;   // normalised title
    std::string keywordText; // normalised keywords
    std::string sourceText;  // normalised source path
    std::string fullText;    // normalised title, summary, location, keywords and source path
    std::string titleOrder;  // the title's key in the user's case-insensitive order
};

// The catalogue as searches read it. The pair sets sit apart, side by side, so ruling rows out
// reads one small array from start to end.
struct SearchIndex {
    std::vector<IndexedSearchEntry> entries;
    std::vector<BytePairSet> fullTextPairs; // one per entry
};

[[nodiscard]] SearchIndex indexedSearchEntries(std::vector<SearchEntry> entries);

// The best twelve entries for a query, best first: by score, then priority, then title in the
// user's order, then catalogue order. A query without letters or digits lists by priority.
[[nodiscard]] std::vector<const SearchEntry*> rankedSearchEntries(const SearchIndex& index,
                                                                  std::string_view query);

// One result as the shell receives it; "tab", "source_path" and "keywords" only when not empty.
[[nodiscard]] nlohmann::json searchResultRecord(const SearchEntry& entry);

inline constexpr std::size_t maximumSearchResults = 12;

} // namespace zevra
