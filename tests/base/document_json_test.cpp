#include "base/document_json.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

// The reader must agree with the library's own parser on what is JSON and what it means.
TEST(DocumentJSONTest, AgreesWithTheLibraryParser) {
    const std::string inputs[] = {
        "{}", "[]", " \t\r\n{ \"a\" : [ 1 , -2 , 3.5e2 , true , false , null ] } \n",
        "\"top-level string\"", "42", "-0", "1E400x", "1e-400", "18446744073709551615",
        "18446744073709551616", "-9223372036854775808", "-9223372036854775809",
        "{\"k\":\"\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u00e9 \\ud83c\\udf0a\"}",
        "{\"Läguna\":\"🌊 ✓ é\"}", "{\"a\":1,\"a\":2}", "\xef\xbb\xbf{\"bom\":1}",
        // refused by both (the UTF-8 rules have their own table):
        " ", "{", "[1,]", "{\"a\":1,}", "{\"a\" 1}", "{a:1}", "[01]", "[1.]", "[.5]", "[1e]", "[-]",
        "[tru]", "\"open", "\"tab\tinside\"", "\"\\x\"", "\"\\u12\"", "\"\\ud800\"", "\"\\udc00\"",
        "\"\\ud800\\u0041\"", "[1] x", "\"\xc3\x28\"", "\"\xf0\x9f\x8c\"", "\"\x80\""};
    for (const std::string& input : inputs) {
        const nlohmann::json expected = nlohmann::json::parse(input, nullptr, false);
        const std::optional<nlohmann::json> ours = parseDocumentJSON(input);
        ASSERT_EQ(ours.has_value(), !expected.is_discarded()) << input;
        if (ours) {
            EXPECT_EQ(*ours, expected) << input;
            EXPECT_EQ(ours->type(), expected.type()) << input;
        }
    }
}

TEST(DocumentJSONTest, RefusesInfiniteNumbersAndDeepNesting) {
    EXPECT_FALSE(parseDocumentJSON("[1e400]"));
    EXPECT_FALSE(parseDocumentJSON("[0.00000000000000000000000000001e340]"));
    EXPECT_EQ(parseDocumentJSON("[-1000e-400]"), nlohmann::json::parse("[-0.0]"));
    const std::size_t limit = maximumDocumentNestingDepth;
    EXPECT_TRUE(parseDocumentJSON(std::string(limit, '[') + std::string(limit, ']')));
    EXPECT_FALSE(parseDocumentJSON(std::string(limit + 1, '[') + std::string(limit + 1, ']')));
    EXPECT_FALSE(parseDocumentJSON(std::string(1000000, '[')));
}

} // namespace
} // namespace zevra
