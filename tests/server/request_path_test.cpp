#include "server/request_path.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(NormalisedPath, CutsTheQueryMapsTheRootAndDecodes) {
    const struct {
        std::string rawPath;
        std::string path;
        std::string query;
    } cases[] = {
        {"/?v=2", "/index.html", "v=2"},
        {"/a%20b?a=%20&b", "/a b", "a=%20&b"},
        {"/q?x?y", "/q", "x?y"},
        {"/%2e%2e/caf%C3%A9%2F", "/../caf\xC3\xA9/", ""},
        // Invalid escapes, or escapes that are not UTF-8, leave the path as it came.
        {"/100%", "/100%", ""},
        {"/%ff", "/%ff", ""},
        {"/%25", "/%", ""},
        {"?only", "", "only"},
    };
    for (const auto& c : cases) {
        const auto result = normalisedPath(c.rawPath);
        EXPECT_EQ(result.path, c.path) << c.rawPath;
        EXPECT_EQ(result.query, c.query) << c.rawPath;
    }
    // NUL is decoded for later checks to refuse.
    EXPECT_EQ(removingPercentEncoding("a%00b"), std::string("a\0b", 3));
}

} // namespace
} // namespace zevra
