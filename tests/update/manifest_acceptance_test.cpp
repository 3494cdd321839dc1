#include "update/manifest_acceptance.h"

#include "build_config.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>

namespace zevra {
namespace {

using nlohmann::json;

const std::string host = config::ReleaseHost;
const std::string sha = std::string(64, 'a');

json appManifest() {
    return {{"schema_version", "zevra-release-manifest-v1"},
            {"product", "zevra-macos-app"},
            {"channel", "direct"},
            {"version", "1.4.0"},
            {"build", "1.4.0"},
            {"architecture", "arm64"},
            {"minimum_macos", "12.0"},
            {"download_url", "https://" + host + "/downloads/ZEVRA-app-arm64-v1.4.0.zip"},
            {"sha256", sha},
            {"bytes", 1000},
            {"release_notes_url", "https://" + host + "/notes"},
            {"notes", {"Faster start", "Fixes"}}};
}

json extensionManifest() {
    return {{"schema_version", "zevra-release-manifest-v1"},
            {"product", "zevra-browser-extension"},
            {"channel", "direct"},
            {"version", "1.6.11"},
            {"platform", "chromium"},
            {"download_url", "https://" + host + "/downloads/zevra-extension-v1.6.11.zip"},
            {"sha256", sha},
            {"bytes", 1000},
            {"notes", {"New popup"}}};
}

std::optional<ReleaseResponse> okResponse(const std::string& url) {
    return ReleaseResponse{200, url, "application/json"};
}

bool appAccepted(const json& manifest) {
    return acceptAppManifest(manifest.dump(), okResponse(updateManifestURL())).has_value();
}

bool extensionAccepted(const json& manifest, bool forNotice) {
    return acceptExtensionManifest(manifest.dump(), okResponse(extensionManifestURL()), forNotice)
        .has_value();
}

struct Mutation {
    const char* what;
    std::function<void(json&)> change;
    bool accepted;
};

TEST(AcceptAppManifest, AcceptsAGoodManifestWithItsArchiveURL) {
    const auto accepted = acceptAppManifest(appManifest().dump(), okResponse(updateManifestURL()));
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->manifest.version, "1.4.0");
    EXPECT_EQ(accepted->manifest.notes->size(), 2u);
    EXPECT_EQ(accepted->archiveURL.absoluteString,
              "https://" + host + "/downloads/ZEVRA-app-arm64-v1.4.0.zip");
    EXPECT_EQ(updateManifestURL(), "https://" + host + "/downloads/zevra-app-latest.json");
}

TEST(AcceptAppManifest, AppliesEveryRule) {
    const std::string base = "https://" + host + "/downloads/";
    const std::vector<Mutation> mutations{
        {"build absent", [](json& m) { m.erase("build"); }, true},
        {"build different", [](json& m) { m["build"] = "140"; }, false},
        {"build null", [](json& m) { m["build"] = nullptr; }, true},
        {"schema", [](json& m) { m["schema_version"] = "zevra-release-manifest-v2"; }, false},
        {"product", [](json& m) { m["product"] = "zevra-browser-extension"; }, false},
        {"channel", [](json& m) { m["channel"] = "beta"; }, false},
        {"version pattern", [](json& m) { m["version"] = "1.4"; }, false},
        {"architecture", [](json& m) { m["architecture"] = "x86_64"; }, false},
        {"minimum newer", [](json& m) { m["minimum_macos"] = "13.0"; }, false},
        {"minimum spelled", [](json& m) { m["minimum_macos"] = "12"; }, false},
        {"sha short", [](json& m) { m["sha256"] = std::string(63, 'a'); }, false},
        {"sha upper", [](json& m) { m["sha256"] = std::string(64, 'F'); }, true},
        {"sha not hex", [](json& m) { m["sha256"] = std::string(64, 'g'); }, false},
        {"bytes absent", [](json& m) { m.erase("bytes"); }, false},
        {"bytes zero", [](json& m) { m["bytes"] = 0; }, false},
        {"bytes negative", [](json& m) { m["bytes"] = -5; }, false},
        {"bytes at limit", [](json& m) { m["bytes"] = 536870912; }, true},
        {"bytes over limit", [](json& m) { m["bytes"] = 536870913; }, false},
        {"eight notes of 500",
         [](json& m) { m["notes"] = json(std::vector<std::string>(8, std::string(500, 'n'))); },
         true},
        {"nine notes", [](json& m) { m["notes"] = json(std::vector<std::string>(9, "n")); }, false},
        {"note of 501", [](json& m) { m["notes"] = {std::string(501, 'n')}; }, false},
        {"note of 500 accented characters",
         [](json& m) {
             std::string note;
             for (int i = 0; i < 500; ++i) {
                 note += "e\xcc\x81";
             }
             m["notes"] = {note};
         },
         true},
        {"url of 2049", [base](json& m) { m["download_url"] = base + std::string(2049, 'a'); },
         false},
        {"wrong file name",
         [base](json& m) { m["download_url"] = base + "ZEVRA-app-arm64-v1.3.0.zip"; }, false},
        {"release notes elsewhere",
         [](json& m) { m["release_notes_url"] = "https://evil.example/"; }, true},
        {"unknown key", [](json& m) { m["extra"] = 1; }, true},
    };
    for (const auto& mutation : mutations) {
        auto manifest = appManifest();
        mutation.change(manifest);
        EXPECT_EQ(appAccepted(manifest), mutation.accepted) << mutation.what;
    }
}

TEST(AcceptAppManifest, ChecksTheResponseAndBodyFirst) {
    const auto body = appManifest().dump();
    EXPECT_FALSE(acceptAppManifest(std::nullopt, okResponse(updateManifestURL())));
    EXPECT_FALSE(acceptAppManifest(body, okResponse(extensionManifestURL())));

    // 65,536 bytes are read, 65,537 are not.
    auto padded = appManifest();
    padded["padding"] = "";
    const auto length = padded.dump().size();
    padded["padding"] = std::string(65536 - length, 'p');
    ASSERT_EQ(padded.dump().size(), 65536u);
    EXPECT_TRUE(appAccepted(padded));
    padded["padding"] = std::string(65537 - length, 'p');
    EXPECT_FALSE(appAccepted(padded));
}

TEST(DecodeZevraUpdateManifest, IsStrictAboutTypes) {
    const std::vector<Mutation> mutations{
        {"missing required", [](json& m) { m.erase("channel"); }, false},
        {"required null", [](json& m) { m["channel"] = nullptr; }, false},
        {"number for string", [](json& m) { m["version"] = 140; }, false},
        {"string for integer", [](json& m) { m["bytes"] = "1000"; }, false},
        {"fraction for integer", [](json& m) { m["bytes"] = 1000.5; }, false},
        {"float for integer", [](json& m) { m["bytes"] = 1000.0; }, false},
        {"bool for integer", [](json& m) { m["bytes"] = true; }, false},
        {"largest 64-bit", [](json& m) { m["bytes"] = 9223372036854775807LL; }, true},
        {"beyond 64-bit", [](json& m) { m["bytes"] = 9223372036854775808ULL; }, false},
        {"notes not strings",
         [](json& m) {
             m["notes"] = json::array({"a", 1});
         },
         false},
        {"notes not array", [](json& m) { m["notes"] = "a"; }, false},
        {"notes null", [](json& m) { m["notes"] = nullptr; }, true},
    };
    for (const auto& mutation : mutations) {
        auto manifest = appManifest();
        mutation.change(manifest);
        EXPECT_EQ(decodeZevraUpdateManifest(manifest.dump()).has_value(), mutation.accepted)
            << mutation.what;
    }
    EXPECT_FALSE(decodeZevraUpdateManifest("[1, 2]"));
    EXPECT_FALSE(decodeZevraUpdateManifest("not json"));
}

// The notice check skips the length limits only.
TEST(AcceptExtensionManifest, AppliesEveryRule) {
    const std::string base = "https://" + host + "/downloads/";
    const auto version = [base](const std::string& v) {
        return [base, v](json& m) {
            m["version"] = v;
            m["download_url"] = base + "zevra-extension-v" + v + ".zip";
        };
    };
    struct Case {
        const char* what;
        std::function<void(json&)> change;
        bool accepted;
        bool acceptedForNotice;
    };
    const std::vector<Case> cases{
        {"1.6.10", version("1.6.10"), false, false},
        {"1.6.11", version("1.6.11"), true, true},
        {"product", [](json& m) { m["product"] = "zevra-macos-app"; }, false, false},
        {"platform", [](json& m) { m["platform"] = "firefox"; }, false, false},
        {"channel", [](json& m) { m["channel"] = "beta"; }, false, false},
        {"schema", [](json& m) { m["schema_version"] = "v1"; }, false, false},
        {"platform missing", [](json& m) { m.erase("platform"); }, false, false},
        {"bytes absent", [](json& m) { m.erase("bytes"); }, false, false},
        {"bytes at limit", [](json& m) { m["bytes"] = 33554432; }, true, true},
        {"bytes over limit", [](json& m) { m["bytes"] = 33554433; }, false, false},
        {"sha", [](json& m) { m["sha256"] = "abc"; }, false, false},
        {"app file name",
         [base](json& m) { m["download_url"] = base + "ZEVRA-app-arm64-v1.6.11.zip"; }, false,
         false},
        {"nine notes", [](json& m) { m["notes"] = json(std::vector<std::string>(9, "n")); }, false,
         true},
        {"note of 501", [](json& m) { m["notes"] = {std::string(501, 'n')}; }, false, true},
        {"long URL that is not the archive URL",
         [base](json& m) { m["download_url"] = base + std::string(2050, 'a') + ".zip"; }, false,
         false},
    };
    for (const auto& c : cases) {
        auto manifest = extensionManifest();
        c.change(manifest);
        EXPECT_EQ(extensionAccepted(manifest, false), c.accepted) << c.what;
        EXPECT_EQ(extensionAccepted(manifest, true), c.acceptedForNotice) << c.what;
    }
    const auto body = extensionManifest().dump();
    EXPECT_FALSE(acceptExtensionManifest(body, okResponse(updateManifestURL()), true));
    const auto accepted = acceptExtensionManifest(body, okResponse(extensionManifestURL()), false);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->archiveURL.absoluteString, base + "zevra-extension-v1.6.11.zip");
}

} // namespace
} // namespace zevra
