#include "server/page_rewriter.h"

#include "base/ascii.h"
#include "build_config.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

const std::string proxyBase = "http://127.0.0.1:18484/proxy";
const std::string script = "<script data-zevra=\"auth-interceptor\">";

TEST(PageRewriter, BaseTagAndInterceptorGoIntoTheHeadOnce) {
    const std::string base = "<base id=\"__ZEVRA_BASE\" href=\"" + proxyBase;
    const std::string own = "<head><base id=\"__ZEVRA_BASE\" href=\"/\">";
    // Page path and page; then how the result starts, and how many base tags and scripts it has.
    const std::tuple<std::string, std::string, std::string, std::size_t, std::size_t> cases[] = {
        {"/", "<html><head><title>", "<html><head>" + base + "/\">" + script, 1, 1},
        {"/a/b.html", "<HEAD>x", "<HEAD>" + base + "/a/\">" + script, 1, 1},
        {"/a/b", "<head><BASE HREF=\"/r/x/\">", "<head>" + base + "/r/x/\">" + script, 2, 1},
        {"/a/b", "<head><base href=\"//cdn.example/\">", "<head>" + base + "/a/\">", 2, 1},
        // An own base href cannot break out of the attribute.
        {"/a", "<head><base href=\"/x><script>\">", "<head>" + base + "/x&gt;&lt;script&gt;", 2, 1},
        {"/", own, own + script, 1, 1},
        {"/", "<head><script>window.__ZEVRA_AUTH_INJECTED=1</script>", "<head>" + base, 1, 0},
        {"/", "<header>no head</header>", "<header>no head</header>", 0, 0},
    };
    for (const auto& [pagePath, html, start, bases, scripts] : cases) {
        const std::string page = rewrittenPage(
            html, {.pagePath = pagePath, .localBase = proxyBase, .origin = "https://o"});
        EXPECT_TRUE(page.starts_with(start)) << html << "\n" << page.substr(0, 200);
        EXPECT_EQ(testing::countOf(asciiLowerCase(page), "<base "), bases) << html;
        EXPECT_EQ(testing::countOf(page, script), scripts) << html;
        EXPECT_EQ(testing::countOf(page, "__ZEVRA_TERMINAL_ROUTE"), 0U) << html;
    }
}

TEST(PageRewriter, TerminalPagesLoseTheSiteShellAndGainTheTerminalBlock) {
    const std::string html =
        "<head><script src=\"/static/zevra_actions.js\"></script>"
        "<link rel=\"stylesheet\" href=\"/theme.css\"/><script src=\"/app.js\"></script>"
        "<script>window.__TARVIK_PAGE__={a:1}</script>"
        "<p>Hi \xF0\x9F\x9A\x80 \xE2\x98\x80 \xC3\xA9</p>"
        "const SORVEX_URL = 'http://localhost:7777';"
        "const API_BASE   = '';  // relative to this page's origin (" +
        std::string(config::SiteHost) +
        ")"
        "Agent unreachable. Is Sorvex running on :7777?";
    const std::string page = rewrittenPage(
        html, {.pagePath = "/kelmor/terminal", .localBase = proxyBase, .origin = "https://o"});
    EXPECT_EQ(testing::countOf(page, "__ZEVRA_TERMINAL_ROUTE"), 1U);
    EXPECT_LT(page.find(script), page.find("<style id=\"__ZEVRA_TERMINAL_COMPACT\">"));
    EXPECT_EQ(testing::countOf(page, "zevra_actions.js") + testing::countOf(page, "theme.css") +
                  testing::countOf(page, "__TARVIK_PAGE__"),
              0U);
    const auto kept = page.find("<script src=\"/app.js\">");
    ASSERT_NE(kept, std::string::npos);
    EXPECT_EQ(page.substr(kept), "<script src=\"/app.js\"></script><p>Hi   \xC3\xA9</p>"
                                 "const SORVEX_URL = 'http://127.0.0.1:18484/proxy';"
                                 "const API_BASE   = 'http://127.0.0.1:18484/proxy';"
                                 "Sorvex service is unavailable. Your session is retained.");
}

} // namespace
} // namespace zevra
