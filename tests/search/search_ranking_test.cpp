#include "search/search_ranking.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace zevra {
namespace {

SearchEntry entry(std::string title, int priority, std::string summary = "",
                  std::vector<std::string> keywords = {}) {
    return SearchEntry{.title = std::move(title),
                       .kind = "tool",
                       .summary = std::move(summary),
                       .location = "app tab",
                       .openURL = "http://127.0.0.1:18484/x",
                       .tab = std::nullopt,
                       .keywords = std::move(keywords),
                       .sourcePath = std::nullopt,
                       .priority = priority};
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
    const struct {
        std::string_view query;
        std::vector<std::string> titles;
    } cases[] = {
        // The exact title outranks a keyword phrase and a better priority.
        {"layers tool", {"Layers Tool", "Stacker", "Tool Layers"}},
        // Every word must be found somewhere.
        {"layers colour", {"Palette"}},
        {"LAY", {"Tool Layers", "Layers Tool", "Stacker", "Palette"}},
        // Case-only title differences tie and keep catalogue order.
        {"fruit", {"apple", "Apple", "Banana"}},
        // Nothing to match: every entry by priority, ties by title in the user's order.
        {"", {"Stacker", "Tool Layers", "Palette", "Layers Tool", "apple", "Apple", "Banana"}},
        {"?! ...",
         {"Stacker", "Tool Layers", "Palette", "Layers Tool", "apple", "Apple", "Banana"}},
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
    SearchEntry bare = entry("Bare", 0);
    bare.tab = "";
    SearchEntry full = entry("Full", 0, "s", {"k"});
    full.tab = "home";
    full.sourcePath = "~/x.md";
    const auto bareRecord = searchResultRecord(bare);
    EXPECT_EQ(bareRecord.size(), 5U);
    EXPECT_FALSE(bareRecord.contains("tab"));
    const auto fullRecord = searchResultRecord(full);
    EXPECT_EQ(fullRecord.at("tab"), "home");
    EXPECT_EQ(fullRecord.at("source_path"), "~/x.md");
    EXPECT_EQ(fullRecord.at("keywords"), nlohmann::json::array({"k"}));
    EXPECT_EQ(fullRecord.at("open_url"), "http://127.0.0.1:18484/x");
}

} // namespace
} // namespace zevra
