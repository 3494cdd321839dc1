#include "auth/handoff_origin.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

constexpr auto none = std::nullopt;

TEST(HandoffOrigin, ExactCaseSensitiveRules) {
    const struct {
        std::optional<std::string> origin;
        std::optional<std::string> referer;
        bool site, connectPage, extension;
    } cases[] = {
        {"https://zevra.example", none, true, false, false},
        {"https://www.zevra.example", none, true, false, false},
        {none, "https://www.zevra.example/ext-signin", true, false, false},
        {none, "https://zevra.example", false, false, false},
        {"https://zevra.example/", none, false, false, false},
        {"https://zevra.example.evil", none, false, false, false},
        {"https://ZEVRA.example", none, false, false, false},
        {"http://127.0.0.1:18484", none, false, true, false},
        {none, "http://localhost:18484/app-connect?nonce=0123", false, true, false},
        {none, "http://127.0.0.1:18484/index.html", false, false, false},
        {"chrome-extension://abcdefghijklmnopabcdefghijklmnop", none, false, false, true},
        {"chrome-extension://abcdefghijklmnopabcdefghijklmnoq", none, false, false, false},
        {"chrome-extension://abcdefghijklmnopabcdefghijklmno", none, false, false, false},
        {"chrome-extension://ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP", none, false, false, false},
        {none, "chrome-extension://abcdefghijklmnopabcdefghijklmnop", false, false, false},
        {none, none, false, false, false},
    };
    for (const auto& c : cases) {
        const auto from = classifyHandoffOrigin(c.origin, c.referer, "zevra.example");
        const std::string what = c.origin.value_or("-") + " " + c.referer.value_or("-");
        EXPECT_EQ(from.fromSite, c.site) << what;
        EXPECT_EQ(from.fromConnectPage, c.connectPage) << what;
        EXPECT_EQ(from.fromExtension, c.extension) << what;
    }
}

} // namespace
} // namespace zevra
