#include "auth/handoff_origin.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

constexpr auto none = std::nullopt;

TEST(HandoffOrigin, ExactCaseSensitiveRules) {
    enum From { Elsewhere, Site, ConnectPage, Extension };
    const std::tuple<std::optional<std::string>, std::optional<std::string>, From> cases[] = {
        {"https://zevra.example", none, Site},
        {"https://www.zevra.example", none, Site},
        {none, "https://www.zevra.example/ext-signin", Site},
        {"https://zevra.example/", none, Elsewhere},
        {"https://zevra.example.evil", none, Elsewhere},
        {"https://ZEVRA.example", none, Elsewhere},
        {"http://127.0.0.1:18484", none, ConnectPage},
        {none, "http://localhost:18484/app-connect?nonce=0123", ConnectPage},
        {none, "http://127.0.0.1:18484/index.html", Elsewhere},
        {"chrome-extension://abcdefghijklmnopabcdefghijklmnop", none, Extension},
        {"chrome-extension://abcdefghijklmnopabcdefghijklmnoq", none, Elsewhere},
        {"chrome-extension://ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP", none, Elsewhere},
        {none, "chrome-extension://abcdefghijklmnopabcdefghijklmnop", Elsewhere},
        {none, none, Elsewhere},
    };
    for (const auto& [origin, referer, expected] : cases) {
        const auto from = classifyHandoffOrigin(origin, referer, "zevra.example");
        SCOPED_TRACE(origin.value_or("-") + " " + referer.value_or("-"));
        EXPECT_EQ(from.fromSite, expected == Site);
        EXPECT_EQ(from.fromConnectPage, expected == ConnectPage);
        EXPECT_EQ(from.fromExtension, expected == Extension);
    }
}

} // namespace
} // namespace zevra
