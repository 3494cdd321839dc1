#include "server/proxy_target.h"

#include "build_config.h"

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

const std::string site = config::SiteHost;
const std::string release = config::ReleaseHost;

TEST(ProxyTarget, LocalPathsMapToTheirUpstreamURLs) {
    struct Case {
        std::string rawPath;
        ProxyTargetOutcome outcome;
        std::string url;
        std::string localBase;
    };
    const std::string proxyBase = "http://127.0.0.1:18484/proxy";
    const Case cases[] = {
        {"/proxy/", ProxyTargetOutcome::ok, "https://" + site + "/", proxyBase},
        {"/proxy/a/b.html?x=1&y=%2F", ProxyTargetOutcome::ok,
         "https://" + site + "/a/b.html?x=1&y=%2F", proxyBase},
        // Encoded "?", quote and "%" stay encoded upstream.
        {"/proxy/x%3Fy%22%25", ProxyTargetOutcome::ok, "https://" + site + "/x%3Fy%22%25",
         proxyBase},
        {"/%70roxy/a", ProxyTargetOutcome::ok, "https://" + site + "/a", proxyBase},
        {"/api/verify/extra?c=1", ProxyTargetOutcome::ok,
         "https://" + site + "/api/auth/app-code/verify?c=1", proxyBase},
        {"/api/sorvex/chat", ProxyTargetOutcome::ok, "https://" + site + "/api/sorvex/chat",
         proxyBase},
        {"/surface/Docs." + release, ProxyTargetOutcome::ok, "https://docs." + release + "/",
         "http://127.0.0.1:18484/surface/docs." + release},
        {"/surface/" + release + "/d/%20x", ProxyTargetOutcome::ok,
         "https://" + release + "/d/%20x", "http://127.0.0.1:18484/surface/" + release},
        {"/surface/" + site + "/", ProxyTargetOutcome::unsupportedSurfaceHost, "", ""},
        {"/surface/www." + site, ProxyTargetOutcome::unsupportedSurfaceHost, "", ""},
        {"/surface/a.b." + release + "/", ProxyTargetOutcome::unsupportedSurfaceHost, "", ""},
        {"/surface/", ProxyTargetOutcome::unsupportedSurfaceHost, "", ""},
        {"/proxy/a b", ProxyTargetOutcome::proxyError, "", ""},
    };
    for (const auto& c : cases) {
        const ProxyTarget target = proxyTarget(c.rawPath);
        EXPECT_EQ(target.outcome, c.outcome) << c.rawPath;
        if (c.outcome == ProxyTargetOutcome::ok) {
            EXPECT_EQ(target.url, c.url) << c.rawPath;
            EXPECT_EQ(target.localBase, c.localBase) << c.rawPath;
        }
    }
}

} // namespace
} // namespace zevra
