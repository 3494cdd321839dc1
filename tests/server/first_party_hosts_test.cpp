#include "server/first_party_hosts.h"

#include "build_config.h"

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

const std::string site = config::SiteHost;
const std::string release = config::ReleaseHost;

TEST(FirstPartyHosts, SurfaceHostsAreTheSiteAndReleaseFamilies) {
    const std::pair<std::string, bool> cases[] = {
        {site, true},
        {" WWW." + site + "\n", true},
        {release, true},
        {"a-1." + release, true},
        {"a.b." + release, false},
        {"-a." + release, false},
        {std::string(64, 'a') + "." + release, false},
        {"evil." + site, false},
        {"google.com", false},
    };
    for (const auto& [host, expected] : cases) {
        EXPECT_EQ(isNativeFirstPartySurfaceHost(host), expected) << host;
    }
}

TEST(FirstPartyHosts, OriginAndLocalBaseKeepOnlyANonDefaultPort) {
    EXPECT_EQ(nativeProxyOrigin("https://" + site + ":443/x"), "https://" + site);
    EXPECT_EQ(nativeProxyOrigin("HTTPS://WWW." + site + ":8443/x"),
              "https://www." + site + ":8443");
    EXPECT_EQ(nativeProxyOrigin("http://" + site + "/"), std::nullopt);
    EXPECT_EQ(nativeProxyOrigin("https://a.b." + release + "/"), std::nullopt);
    EXPECT_EQ(nativeProxyLocalBase("https://www." + site + "/p"), "http://127.0.0.1:18484/proxy");
    EXPECT_EQ(nativeProxyLocalBase("http://A." + release),
              "http://127.0.0.1:18484/surface/a." + release);
    EXPECT_EQ(nativeProxyLocalBase("https://example.org/"), std::nullopt);
}

TEST(FirstPartyHosts, RoutedURLsComeBackThroughTheLoopbackServer) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"  \n", std::nullopt},
        {" /index.html ", "http://127.0.0.1:18484/index.html"},
        {"//" + site + "/a", "//" + site + "/a"},
        {"https://" + site, "http://127.0.0.1:18484/proxy/"},
        {"http://www." + site + "/a%20b?q=1&r=%2F#top",
         "http://127.0.0.1:18484/proxy/a%20b?q=1&r=%2F#top"},
        {"https://x." + release + "/d/?#", "http://127.0.0.1:18484/surface/x." + release + "/d/"},
        {"https://example.org/a", "https://example.org/a"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(nativeAppRoutedURL(text), expected) << text;
    }
}

} // namespace
} // namespace zevra
