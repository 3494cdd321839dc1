#include "search/search_text.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace zevra {
namespace {

using TextCase = std::pair<std::string_view, std::string_view>;

TEST(SearchText, NormalizedTextKeepsLettersMarksAndDigitsInLowerCase) {
    const TextCase cases[] = {
        {"Hello, World_2!", "hello world 2"},         {" --?! ", ""}, {"ÉCOLE-été", "école été"},
        {"e\xCC\x81t\xC3\xA9", "e\xCC\x81t\xC3\xA9"}, // a combining accent stays in its word
        {"\xC4\xB0stanbul", "i\xCC\x87stanbul"},      // İ lower-cases to two scalars
        {"layers\xE2\x80\xA8tool", "layers tool"},    // a line separator separates
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(normalizedSearchText(input), expected) << input;
    }
}

TEST(SearchText, PrettyTitleCapitalisesTheWordsOfAFileName) {
    const TextCase cases[] = {
        {"my_tool-v2 (final)", "My Tool V2 Final"},
        {"__()", "__()"}, // nothing left: the name as it was
        {"\xC3\xA9lan-VITAL", "\xC3\x89lan Vital"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(prettyTitle(input), expected) << input;
    }
}

TEST(SearchText, DocumentSummaryCollapsesSpaceDropsMarkupAndCountsCharacters) {
    const testing::TemporaryFolder folder;
    std::string accents;
    for (int i = 0; i < 200; ++i) {
        accents.append("e\xCC\x81"); // one character of two scalars, three bytes
    }
    const std::string expectedAccents = accents.substr(0, 180 * 3);
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"a.md", "# Title\n\n  `code`\tand #tags  ", "Title code and tags"},
        {"b.md", " # ## \n\t#", "Local MD document."},
        {"c.txt", "bad \xFF byte", "Local TXT document."},
        {"d.md", accents, expectedAccents},
    };
    for (const auto& [name, contents, expected] : cases) {
        EXPECT_EQ(docSummary(folder.write(name, contents)), expected) << name;
    }
    EXPECT_EQ(docSummary(folder.path() / "missing.json"), "Local JSON document.");
}

} // namespace
} // namespace zevra
