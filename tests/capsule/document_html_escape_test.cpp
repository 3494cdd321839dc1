#include "capsule/document_html_escape.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

namespace zevra {
namespace {

TEST(DocumentHTMLEscapeTest, EscapesEachSpecialCharacterOnce) {
    using namespace std::string_view_literals;
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&#39;f"},
        {"&amp;", "&amp;amp;"},
        {"Läguna — 🌊", "Läguna — 🌊"},
        {"owner\0</b>tail"sv, "owner\uFFFD&lt;/b&gt;tail"},
    };
    for (const auto& [text, escaped] : cases) {
        EXPECT_EQ(documentHTMLEscape(text), escaped) << text;
    }
}

TEST(DocumentHTMLEscapeTest, WritesValuesInTheirTextualForm) {
    const nlohmann::json values = nlohmann::json::parse(
        R"({"s": "<x>", "n": 42, "f": 2.5, "t": true, "z": null, "o": {"b": "'", "a": 1}})");
    EXPECT_EQ(documentHTMLEscape(nullptr), "");
    EXPECT_EQ(documentHTMLEscape(&values["s"]), "&lt;x&gt;");
    EXPECT_EQ(documentHTMLEscape(&values["n"]), "42");
    EXPECT_EQ(documentHTMLEscape(&values["f"]), "2.5");
    EXPECT_EQ(documentHTMLEscape(&values["t"]), "true");
    EXPECT_EQ(documentHTMLEscape(&values["z"]), "null");
    EXPECT_EQ(documentHTMLEscape(&values["o"]),
              "{&quot;a&quot;:1,&quot;b&quot;:&quot;&#39;&quot;}");
}

} // namespace
} // namespace zevra
