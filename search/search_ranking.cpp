#include "search/search_ranking.h"

#include "base/localized_order.h"
#include "base/utf8.h"
#include "search/search_text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>

namespace zevra {
namespace {

struct Term {
    std::string_view text;
    BytePairSet pairs;
};

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t at = 0; at < words.size(); ++at) {
        text.append(at == 0 ? "" : " ").append(words[at]);
    }
    return text;
}

std::vector<Term> termsOf(std::string_view query) {
    std::vector<Term> terms;
    for (std::size_t at = 0; at < query.size();) {
        const std::size_t end = std::min(query.find(' ', at), query.size());
        if (end > at) {
            const auto term = query.substr(at, end - at);
            terms.push_back({term, bytePairsOf(term)});
        }
        at = end + 1;
    }
    return terms;
}

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

bool holdsAll(const BytePairSet& set, const BytePairSet& wanted) {
    for (std::size_t word = 0; word < set.size(); ++word) {
        if ((set[word] & wanted[word]) != wanted[word]) {
            return false;
        }
    }
    return true;
}

// Nothing when a term is found nowhere or the total is below 1.
std::optional<int> scoreOf(const IndexedSearchEntry& item, const BytePairSet& fullTextPairs,
                           std::string_view query, const std::vector<Term>& terms) {
    const int priority = item.entry.priority;
    if (terms.empty()) {
        return std::max(500 - priority, 1);
    }
    int score = std::max(40 - priority / 5, 0);
    for (const auto& [term, pairs] : terms) {
        // The full text holds the others, so a miss there settles it cheaply.
        if (!holdsAll(fullTextPairs, pairs) || !contains(item.fullText, term)) {
            return std::nullopt;
        }
        score += contains(item.titleText, term) ? 80 : contains(item.keywordText, term) ? 55 : 24;
    }
    score += item.titleText == query ? 320 : 0;
    score += contains(item.titleText, query) ? 190 : 0;
    score += contains(item.keywordText, query) ? 120 : 0;
    score += contains(item.sourceText, query) ? 70 : 0;
    if (score < 1) {
        return std::nullopt;
    }
    return score;
}

} // namespace

BytePairSet bytePairsOf(std::string_view text) {
    BytePairSet set{};
    for (std::size_t at = 1; at < text.size(); ++at) {
        const unsigned hash = (static_cast<unsigned char>(text[at - 1]) * 31U +
                               static_cast<unsigned char>(text[at])) &
                              255U;
        set[hash / 64] |= std::uint64_t{1} << (hash % 64);
    }
    return set;
}

SearchIndex indexedSearchEntries(std::vector<SearchEntry> entries) {
    const LocalizedTextOrder order;
    SearchIndex index;
    index.entries.reserve(entries.size());
    index.fullTextPairs.reserve(entries.size());
    for (auto& entry : entries) {
        const std::string keywords = joined(entry.keywords);
        const std::string source = entry.sourcePath.value_or("");
        const std::string full =
            joined({entry.title, entry.summary, entry.location, keywords, source});
        IndexedSearchEntry item{.entry = {},
                                .titleText = normalizedSearchText(entry.title),
                                .keywordText = normalizedSearchText(keywords),
                                .sourceText = normalizedSearchText(source),
                                .fullText = normalizedSearchText(full),
                                .titleOrder = order.sortKey(entry.title)};
        index.fullTextPairs.push_back(bytePairsOf(item.fullText));
        item.entry = std::move(entry);
        index.entries.push_back(std::move(item));
    }
    return index;
}

std::vector<const SearchEntry*> rankedSearchEntries(const SearchIndex& index,
                                                    std::string_view query) {
    const std::string normalized = normalizedSearchText(query);
    const std::string_view q = trimmedWhiteSpaceAndLineBreaks(normalized);
    const auto terms = termsOf(q);
    struct Scored {
        int score;
        std::size_t position;
    };
    std::vector<Scored> scored;
    for (std::size_t position = 0; position < index.entries.size(); ++position) {
        if (const auto score =
                scoreOf(index.entries[position], index.fullTextPairs[position], q, terms)) {
            scored.push_back({*score, position});
        }
    }
    // Catalogue position breaks the last tie, which makes the partial sort a stable one.
    const auto before = [&index](const Scored& a, const Scored& b) {
        const IndexedSearchEntry& x = index.entries[a.position];
        const IndexedSearchEntry& y = index.entries[b.position];
        if (a.score != b.score) {
            return a.score > b.score;
        }
        if (x.entry.priority != y.entry.priority) {
            return x.entry.priority < y.entry.priority;
        }
        if (x.titleOrder != y.titleOrder) {
            return x.titleOrder < y.titleOrder;
        }
        return a.position < b.position;
    };
    const std::size_t kept = std::min(scored.size(), maximumSearchResults);
    std::partial_sort(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(kept),
                      scored.end(), before);
    std::vector<const SearchEntry*> ranked;
    ranked.reserve(kept);
    for (std::size_t at = 0; at < kept; ++at) {
        ranked.push_back(&index.entries[scored[at].position].entry);
    }
    return ranked;
}

nlohmann::json searchResultRecord(const SearchEntry& entry) {
    nlohmann::json record = {{"title", entry.title},
                             {"kind", entry.kind},
                             {"summary", entry.summary},
                             {"location", entry.location},
                             {"open_url", entry.openURL}};
    if (entry.tab && !entry.tab->empty()) {
        record["tab"] = *entry.tab;
    }
    if (entry.sourcePath && !entry.sourcePath->empty()) {
        record["source_path"] = *entry.sourcePath;
    }
    if (!entry.keywords.empty()) {
        record["keywords"] = entry.keywords;
    }
    return record;
}

} // namespace zevra
