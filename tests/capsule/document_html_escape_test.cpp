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

} // namespace
} // namespace zevra
