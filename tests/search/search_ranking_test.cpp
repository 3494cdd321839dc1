#include "search/search_ranking.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace zevra {
namespace {

SearchEntry entry(std::string title, int priority, std::string summary = "",
                  std::vector<std::string> keywords = {}) {
    return SearchEntry(std::move(title), "tool", std::move(summary), "app tab",
                       "http://127.0.0.1:18484/x", std::nullopt, std::move(keywords), std::nullopt,
                       priority);
}

std::vector<std::string> titlesFor(const SearchIndex& index, std::string_view query) {
    std::vector<std::string> titles;
    for (const SearchEntry* found : rankedSearchEntries(index, query)) {
        titles.push_back(found->title);
    }
    return titles;
}

TEST(SearchRanking, OrdersByScoreThenPriorityThenTitleThenCatalogue) {
    const auto index = indexedSearchEntries({
        entry("Palette", 3, "mix layers of colour"),
        entry("Layers Tool", 9, "", {"stack"}),
        entry("apple", 50, "fruit", {"first"}),
        entry("Banana", 50, "fruit"),
        entry("Apple", 50, "fruit", {"second"}),
        entry("Tool Layers", 1, "the tool"),
        entry("Stacker", 0, "", {"layers tool"}),
    });
    const std::vector<std::string> all{"Stacker", "Tool Layers", "Palette", "Layers Tool",
                                       "apple",   "Apple",       "Banana"};
    const std::pair<std::string_view, std::vector<std::string>> cases[] = {
        // The exact title outranks a keyword phrase and a better priority.
        {"layers tool", {"Layers Tool", "Stacker", "Tool Layers"}},
        // Every word must be found somewhere.
        {"layers colour", {"Palette"}},
        {"LAY", {"Tool Layers", "Layers Tool", "Stacker", "Palette"}},
        // Case-only title differences tie and keep catalogue order.
        {"fruit", {"apple", "Apple", "Banana"}},
        // Nothing to match: every entry by priority, ties by title in the user's order.
        {"", all},
        {"kiwi", {}},
    };
    for (const auto& [query, titles] : cases) {
        EXPECT_EQ(titlesFor(index, query), titles) << query;
    }
}

TEST(SearchRanking, KeepsTheTwelveBest) {
    std::vector<SearchEntry> entries;
    for (int priority = 20; priority > 0; --priority) {
        entries.push_back(entry("Entry " + std::to_string(priority), priority));
    }
    const auto titles = titlesFor(indexedSearchEntries(std::move(entries)), "entry");
    ASSERT_EQ(titles.size(), 12U);
    EXPECT_EQ(titles.front(), "Entry 1");
    EXPECT_EQ(titles.back(), "Entry 12");
}

TEST(SearchRanking, ResultRecordLeavesOutEmptyOptionalFields) {
    SearchEntry shown = entry("T", 0, "s", {"k"});
    shown.tab = "home";
    shown.sourcePath = "~/x.md";
    const std::string always = R"("title":"T","kind":"tool","summary":"s","location":"app tab",)"
                               R"("open_url":"http://127.0.0.1:18484/x")";
    EXPECT_EQ(searchResultRecord(shown),
              nlohmann::json::parse("{" + always +
                                    R"(,"tab":"home","source_path":"~/x.md","keywords":["k"]})"));
    shown.tab = "";
    shown.sourcePath.reset();
    shown.keywords.clear();
    EXPECT_EQ(searchResultRecord(shown), nlohmann::json::parse("{" + always + "}"));
}

} // namespace
} // namespace zevra
