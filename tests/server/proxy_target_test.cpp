#include "server/proxy_target.h"

#include "build_config.h"

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

const std::string site = config::SiteHost;
const std::string release = config::ReleaseHost;

TEST(ProxyTarget, LocalPathsMapToTheirUpstreamURLs) {
    const std::string proxy = "http://127.0.0.1:18484/proxy";
    const std::string surface = "http://127.0.0.1:18484/surface/";
    const std::string https = "https://";
    // The local path, then the upstream URL and local base ("": refused as unsupported).
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"/proxy/", https + site + "/", proxy},
        {"/proxy/a/b.html?x=1&y=%2F", https + site + "/a/b.html?x=1&y=%2F", proxy},
        // Encoded "?", quote and "%" stay encoded upstream.
        {"/proxy/x%3Fy%22%25", https + site + "/x%3Fy%22%25", proxy},
        {"/%70roxy/a", https + site + "/a", proxy},
        {"/api/verify/extra?c=1", https + site + "/api/auth/app-code/verify?c=1", proxy},
        {"/surface/Docs." + release, https + "docs." + release + "/", surface + "docs." + release},
        {"/surface/" + release + "/d/%20x", https + release + "/d/%20x", surface + release},
        {"/surface/" + site + "/", "", ""},
        {"/surface/a.b." + release + "/", "", ""},
        {"/surface/", "", ""},
    };
    for (const auto& [rawPath, url, localBase] : cases) {
        const ProxyTarget target = proxyTarget(rawPath);
        EXPECT_EQ(target.outcome,
                  url.empty() ? ProxyTargetOutcome::unsupportedSurfaceHost : ProxyTargetOutcome::ok)
            << rawPath;
        EXPECT_EQ(target.url + " " + target.localBase, url.empty() ? " " : url + " " + localBase)
            << rawPath;
    }
    EXPECT_EQ(proxyTarget("/proxy/a b").outcome, ProxyTargetOutcome::proxyError);
}

} // namespace
} // namespace zevra
