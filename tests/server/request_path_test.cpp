#include "server/request_path.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(NormalisedPath, CutsTheQueryMapsTheRootAndDecodes) {
    struct Case {
        std::string rawPath;
        std::string path;
        std::string query;
    };
    const Case cases[] = {
        {"/", "/index.html", ""},
        {"/?v=2", "/index.html", "v=2"},
        {"/index.html?a=%20&b", "/index.html", "a=%20&b"},
        {"/a%20b.txt", "/a b.txt", ""},
        {"/%2e%2e/secret", "/../secret", ""},
        {"/caf%C3%A9", "/caf\xC3\xA9", ""},
        {"/q?x?y", "/q", "x?y"},
        {"/%2F", "//", ""},
        // Invalid escapes, or escapes that are not UTF-8, leave the path as it came.
        {"/100%", "/100%", ""},
        {"/bad%zzescape", "/bad%zzescape", ""},
        {"/%4", "/%4", ""},
        {"/%ff", "/%ff", ""},
        {"/%25", "/%", ""},
        {"", "", ""},
        {"?only", "", "only"},
    };
    for (const auto& c : cases) {
        const auto result = normalisedPath(c.rawPath);
        EXPECT_EQ(result.path, c.path) << c.rawPath;
        EXPECT_EQ(result.query, c.query) << c.rawPath;
    }
}

TEST(RemovingPercentEncoding, DecodesNulForLaterChecksToRefuse) {
    EXPECT_EQ(removingPercentEncoding("a%00b"), std::string("a\0b", 3));
}

} // namespace
} // namespace zevra
