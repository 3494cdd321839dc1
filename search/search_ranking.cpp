#include "search/search_ranking.h"

#include "base/localized_order.h"
#include "base/utf8.h"
#include "search/search_text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>

namespace zevra {
namespace {

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t at = 0; at < words.size(); ++at) {
        text.append(at == 0 ? "" : " ").append(words[at]);
    }
    return text;
}

std::vector<std::string_view> termsOf(std::string_view query) {
    std::vector<std::string_view> terms;
    for (std::size_t at = 0; at < query.size();) {
        const std::size_t end = std::min(query.find(' ', at), query.size());
        if (end > at) {
            terms.push_back(query.substr(at, end - at));
        }
        at = end + 1;
    }
    return terms;
}

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// Nothing when a term is found nowhere or the total is below 1.
std::optional<int> scoreOf(const IndexedSearchEntry& item, std::string_view query,
                           const std::vector<std::string_view>& terms) {
    const int priority = item.entry.priority;
    if (terms.empty()) {
        return std::max(500 - priority, 1);
    }
    int score = std::max(40 - priority / 5, 0);
    for (const std::string_view term : terms) {
        // The full text holds the others, so a miss there settles it cheaply.
        if (!contains(item.fullText, term)) {
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

std::vector<IndexedSearchEntry> indexedSearchEntries(std::vector<SearchEntry> entries) {
    const LocalizedTextOrder order;
    std::vector<IndexedSearchEntry> index;
    index.reserve(entries.size());
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
        item.entry = std::move(entry);
        index.push_back(std::move(item));
    }
    return index;
}

std::vector<const SearchEntry*> rankedSearchEntries(const std::vector<IndexedSearchEntry>& index,
                                                    std::string_view query) {
    const std::string normalized = normalizedSearchText(query);
    const std::string_view q = trimmedWhiteSpaceAndLineBreaks(normalized);
    const auto terms = termsOf(q);
    struct Scored {
        int score;
        std::size_t position;
    };
    std::vector<Scored> scored;
    for (std::size_t position = 0; position < index.size(); ++position) {
        if (const auto score = scoreOf(index[position], q, terms)) {
            scored.push_back({*score, position});
        }
    }
    // Catalogue position breaks the last tie, which makes the partial sort a stable one.
    const auto before = [&index](const Scored& a, const Scored& b) {
        const IndexedSearchEntry& x = index[a.position];
        const IndexedSearchEntry& y = index[b.position];
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
        ranked.push_back(&index[scored[at].position].entry);
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
