#include "update/trusted_release_url.h"
#include "update/trusted_response.h"

#include "build_config.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

const std::string host = config::ReleaseHost;
const std::string https = "https://" + host;
const std::string manifest = https + "/downloads/zevra-app-latest.json";

TEST(TrustedReleaseURL, AcceptsOnlyTheReleaseHostOverHttps) {
    const std::vector<std::pair<std::string, bool>> cases{
        {manifest, true},
        {https + ":443/downloads/x.json", true},
        {"https://www." + host + "/downloads/x.json", false},
        {"http://" + host + "/downloads/x.json", false},
        {"HTTPS://" + host + "/downloads/x.json", false},
        {https + ":8443/downloads/x.json", false},
        {"https://user@" + host + "/", false},
        {https + ".evil.example/", false},
        {"https://evil.example/" + host, false},
        {"https://evil.example#@" + host + "/", false},
        {https + "/%zz", false},
    };
    for (const auto& [url, trusted] : cases) {
        EXPECT_EQ(trustedReleaseURL(url).has_value(), trusted) << url;
    }
}

TEST(TrustedReleaseArchiveURL, WantsExactlyTheDownloadsPathAndName) {
    const std::string name = "ZEVRA-app-arm64-v1.2.3.zip";
    const std::vector<std::tuple<std::string, std::string, bool>> cases{
        {https + "/downloads/" + name, name, true},
        {https + "/downloads/sub/" + name, name, false},
        {https + "/downloads/" + name + "?", name, false},
        {https + "/downloads/ZEVRA-app-arm64-v1.2.3%2Ezip", name, false},
        {https + "/Downloads/" + name, name, false},
        {https + "/downloads/a b.zip", "a b.zip", false},
        {https + "/downloads/.zip", ".zip", false},
    };
    for (const auto& [url, expected, trusted] : cases) {
        EXPECT_EQ(trustedReleaseArchiveURL(url, expected).has_value(), trusted) << url;
    }
}

TEST(ExactTrustedResponseURL, WantsStatusURLAndMimeExactly) {
    const std::string json = "application/json";
    const std::vector<std::pair<std::optional<ReleaseResponse>, bool>> cases{
        {ReleaseResponse{200, manifest, json}, true},
        {ReleaseResponse{200, manifest, "Application/JSON"}, true},
        {std::nullopt, false},
        {ReleaseResponse{203, manifest, json}, false},
        {ReleaseResponse{200, std::nullopt, json}, false},
        {ReleaseResponse{200, manifest, std::nullopt}, false},
        {ReleaseResponse{200, manifest, "application/json; charset=utf-8"}, false},
        {ReleaseResponse{200, https + "/downloads/other.json", json}, false}, // redirected
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(exactTrustedResponseURL(cases[i].first, manifest, json), cases[i].second) << i;
    }
    const std::string foreign = "https://evil.example/downloads/zevra-app-latest.json";
    EXPECT_FALSE(exactTrustedResponseURL(ReleaseResponse{200, foreign, json}, foreign, json));
}

} // namespace
} // namespace zevra
