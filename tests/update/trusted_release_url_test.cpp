#include "update/trusted_release_url.h"
#include "update/trusted_response.h"

#include "build_config.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

const std::string host = config::ReleaseHost;
const std::string manifest = "https://" + host + "/downloads/zevra-app-latest.json";

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

TEST(TrustedReleaseURL, AcceptsOnlyTheReleaseHostOverHttps) {
    struct Case {
        std::string url;
        bool trusted;
    };
    const std::vector<Case> cases{
        {manifest, true},
        {"https://" + upper(host) + "/downloads/x.json", true},
        {"https://" + host + ":443/downloads/x.json", true},
        {"https://" + host, true},
        {"https://" + host + "/any/path?q=1#f", true},
        {"https://www." + host + "/downloads/x.json", false},
        {"http://" + host + "/downloads/x.json", false},
        {"HTTPS://" + host + "/downloads/x.json", false},
        {"https://" + host + ":8443/downloads/x.json", false},
        {"https://" + host + ":80/", false},
        {"https://user@" + host + "/", false},
        {"https://user:pass@" + host + "/", false},
        {"https://:pass@" + host + "/", false},
        {"https://" + host + ".evil.example/", false},
        {"https://evil.example/" + host, false},
        {"https://evil.example#@" + host + "/", false},
        {"https:///downloads/x.json", false},
        {"https://" + host + "/a b", false},
        {"https://" + host + "/%zz", false},
        {"not a url", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trustedReleaseURL(c.url).has_value(), c.trusted) << c.url;
    }
}

TEST(TrustedReleaseArchiveURL, WantsExactlyTheDownloadsPathAndName) {
    const std::string name = "ZEVRA-app-arm64-v1.2.3.zip";
    const std::string good = "https://" + host + "/downloads/" + name;
    struct Case {
        std::string url;
        std::string expected;
        bool trusted;
    };
    const std::vector<Case> cases{
        {good, name, true},
        {"https://" + upper(host) + ":443/downloads/" + name, name, true},
        {"https://" + host + "/downloads/sub/" + name, name, false},
        {good + "?x=1", name, false},
        {good + "?", name, false},
        {good + "#x", name, false},
        {good + "#", name, false},
        {"https://" + host + "/downloads/ZEVRA-app-arm64-v1.2.3%2Ezip", name, false},
        {"https://" + host + "/downloads/%5A" + name.substr(1), name, false},
        {"https://" + host + "/Downloads/" + name, name, false},
        {"https://" + host + "//downloads/" + name, name, false},
        {"https://www." + host + "/downloads/" + name, name, false},
        {"https://" + host + "/downloads/a b.zip", "a b.zip", false},
        {"https://" + host + "/downloads/a%20b.zip", "a b.zip", false},
        {"https://" + host + "/downloads/a/b.zip", "a/b.zip", false},
        {"https://" + host + "/downloads/file.tar", "file.tar", false},
        {"https://" + host + "/downloads/.zip", ".zip", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trustedReleaseArchiveURL(c.url, c.expected).has_value(), c.trusted) << c.url;
    }
}

TEST(ExactTrustedResponseURL, WantsStatusURLAndMimeExactly) {
    const auto response = [](long status, std::optional<std::string> url,
                             std::optional<std::string> mime) {
        return std::optional<ReleaseResponse>(ReleaseResponse{status, url, mime});
    };
    const std::string json = "application/json";
    EXPECT_TRUE(exactTrustedResponseURL(response(200, manifest, json), manifest, json));
    EXPECT_TRUE(
        exactTrustedResponseURL(response(200, manifest, "Application/JSON"), manifest, json));
    EXPECT_FALSE(exactTrustedResponseURL(std::nullopt, manifest, json));
    EXPECT_FALSE(exactTrustedResponseURL(response(203, manifest, json), manifest, json));
    EXPECT_FALSE(exactTrustedResponseURL(response(200, std::nullopt, json), manifest, json));
    EXPECT_FALSE(exactTrustedResponseURL(response(200, manifest, std::nullopt), manifest, json));
    EXPECT_FALSE(exactTrustedResponseURL(response(200, manifest, "application/json; charset=utf-8"),
                                         manifest, json));
    EXPECT_FALSE(exactTrustedResponseURL(response(200, manifest, "text/json"), manifest, json));
    // A redirect to another URL fails even when that URL is trusted as well.
    const std::string other = "https://" + host + "/downloads/other.json";
    EXPECT_FALSE(exactTrustedResponseURL(response(200, other, json), manifest, json));
    EXPECT_FALSE(exactTrustedResponseURL(response(200, manifest + "?", json), manifest, json));
    // Equal URLs off the release host are still refused.
    const std::string foreign = "https://evil.example/downloads/zevra-app-latest.json";
    EXPECT_FALSE(exactTrustedResponseURL(response(200, foreign, json), foreign, json));
}

} // namespace
} // namespace zevra
