#include "update/manifest_acceptance.h"

#include "update/manifest_fixtures.h"

#include "update/version.h"
#include <gtest/gtest.h>

namespace zevra {
namespace {

using nlohmann::json;
using testing::erase;
using testing::JsonChange;
using testing::put;

const std::string base = std::string("https://") + config::ReleaseHost + "/downloads/";

// The release notes page may live anywhere: it is only shown as a link.
json appManifest() {
    json m = json::parse(R"({"schema_version": "zevra-release-manifest-v1", "channel": "direct",
        "product": "zevra-macos-app", "version": "1.4.0", "build": "1.4.0", "architecture": "arm64",
        "minimum_macos": "12.0", "bytes": 1000, "notes": ["Faster start", "Fixes"],
        "release_notes_url": "https://evil.example/notes"})");
    m["download_url"] = base + "ZEVRA-app-arm64-v1.4.0.zip";
    m["sha256"] = std::string(64, 'a');
    return m;
}

json extensionManifest(const std::string& version = "1.6.11") {
    json m = json::parse(R"({"schema_version": "zevra-release-manifest-v1", "channel": "direct",
        "product": "zevra-browser-extension", "platform": "chromium", "bytes": 1000,
        "notes": ["New popup"]})");
    m["version"] = version;
    m["download_url"] = base + "zevra-extension-v" + version + ".zip";
    m["sha256"] = std::string(64, 'a');
    return m;
}

std::optional<ReleaseResponse> ok(const std::string& url) {
    return ReleaseResponse{200, url, "application/json"};
}

json notes(std::size_t count, const std::string& note) {
    return json(std::vector<std::string>(count, note));
}

using Case = std::tuple<const char*, JsonChange, bool>;

TEST(AcceptAppManifest, AppliesEveryRule) {
    std::string accented;
    for (int i = 0; i < 500; ++i) {
        accented += "e\xcc\x81"; // one character of two code points
    }
    auto padded = appManifest();
    padded["padding"] = "";
    const auto room = 65536 - padded.dump().size(); // 65,536 bytes are read, 65,537 are not
    const std::vector<Case> cases{
        {"build absent", erase("build"), true},
        {"build different", put("/build", "140"), false},
        {"product", put("/product", "zevra-browser-extension"), false},
        {"version pattern", put("/version", "1.4"), false},
        {"architecture", put("/architecture", "x86_64"), false},
        {"sha not hex", put("/sha256", std::string(64, 'g')), false},
        {"bytes absent", erase("bytes"), false},
        {"bytes at limit", put("/bytes", 536870912), true},
        {"bytes over limit", put("/bytes", 536870913), false},
        {"eight notes of 500", put("/notes", notes(8, std::string(500, 'n'))), true},
        {"nine notes", put("/notes", notes(9, "n")), false},
        {"note of 501", put("/notes", notes(1, std::string(501, 'n'))), false},
        {"note of 500 accented characters", put("/notes", notes(1, accented)), true},
        {"url of 2049", put("/download_url", base + std::string(2049, 'a')), false},
        {"wrong file name", put("/download_url", base + "ZEVRA-app-arm64-v1.3.0.zip"), false},
        {"65,536 bytes", put("/padding", std::string(room, 'p')), true},
        {"65,537 bytes", put("/padding", std::string(room + 1, 'p')), false},
    };
    for (const auto& [what, change, accepted] : cases) {
        auto manifest = appManifest();
        change(manifest);
        EXPECT_EQ(acceptAppManifest(manifest.dump(), ok(updateManifestURL())).has_value(), accepted)
            << what;
    }

    const auto accepted = acceptAppManifest(appManifest().dump(), ok(updateManifestURL()));
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->manifest.notes->size(), 2u);
    EXPECT_EQ(accepted->archiveURL.absoluteString, base + "ZEVRA-app-arm64-v1.4.0.zip");
    EXPECT_EQ(updateManifestURL(), base + "zevra-app-latest.json");
    EXPECT_FALSE(acceptAppManifest(std::nullopt, ok(updateManifestURL())));
    EXPECT_FALSE(acceptAppManifest(appManifest().dump(), ok(extensionManifestURL())));
}

TEST(DecodeZevraUpdateManifest, IsStrictAboutTypes) {
    const std::vector<Case> cases{
        {"not an object", put("", json::array({1, 2})), false},
        {"missing required", erase("channel"), false},
        {"number for string", put("/version", 140), false},
        {"float for integer", put("/bytes", 1000.0), false},
        {"largest 64-bit", put("/bytes", 9223372036854775807LL), true},
        {"beyond 64-bit", put("/bytes", 9223372036854775808ULL), false},
        {"notes not strings", put("/notes", json::array({"a", 1})), false},
        {"notes null", put("/notes", nullptr), true},
    };
    for (const auto& [what, change, accepted] : cases) {
        auto manifest = appManifest();
        change(manifest);
        EXPECT_EQ(decodeZevraUpdateManifest(manifest.dump()).has_value(), accepted) << what;
    }
    EXPECT_FALSE(decodeZevraUpdateManifest("not json"));
}

// The notice check skips the length limits only.
TEST(AcceptExtensionManifest, AppliesEveryRule) {
    const std::vector<std::tuple<const char*, JsonChange, bool, bool>> cases{
        {"product", put("/product", "zevra-macos-app"), false, false},
        {"bytes at limit", put("/bytes", 33554432), true, true},
        {"bytes over limit", put("/bytes", 33554433), false, false},
        {"app file name", put("/download_url", base + "ZEVRA-app-arm64-v1.6.11.zip"), false, false},
        {"nine notes", put("/notes", notes(9, "n")), false, true},
        {"long URL, not the archive's", put("/download_url", base + std::string(2050, 'a')), false,
         false},
    };
    for (const auto& [what, change, accepted, acceptedForNotice] : cases) {
        auto manifest = extensionManifest();
        change(manifest);
        for (const bool notice : {false, true}) {
            EXPECT_EQ(acceptExtensionManifest(manifest.dump(), ok(extensionManifestURL()), notice)
                          .has_value(),
                      notice ? acceptedForNotice : accepted)
                << what << notice;
        }
    }
    const auto body = extensionManifest().dump();
    EXPECT_FALSE(acceptExtensionManifest(body, ok(updateManifestURL()), true));
    // Older than the oldest extension this app still works with.
    EXPECT_FALSE(acceptExtensionManifest(extensionManifest("1.6.10").dump(),
                                         ok(extensionManifestURL()), true));
    const auto accepted = acceptExtensionManifest(body, ok(extensionManifestURL()), false);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->archiveURL.absoluteString, base + "zevra-extension-v1.6.11.zip");
}

TEST(Version, ReleaseVersionPattern) {
    for (const char* good : {"999999.0.12", "0.0.0", "10.20.30"}) {
        EXPECT_TRUE(isReleaseVersion(good)) << good;
    }
    for (const char* bad : {"01.2.3", "1.2", "1.2.3.4", "1234567.0.0", "", "1..2", "1.2.3.",
                            ".1.2.3", "1.2.x", "+1.2.3", "1.2.3 ", "1.02.3"}) {
        EXPECT_FALSE(isReleaseVersion(bad)) << bad;
    }
}

TEST(Version, VersionIsNewer) {
    // Candidate, current, whether the candidate is newer.
    const std::tuple<const char*, const char*, bool> cases[]{
        {"2.0.0", "10.0.0", false}, {"1.0.1", "1.0", true},  {"1.0.0", "1.0.0", false},
        {"1.2", "1.2.0", false},    {"1.2.0", "1.2", false}, {"1.10.0", "1.9.9", true},
        {"1..3", "1.2", true},      {"1.x", "1.0", false},   {"1.1", "1.x", true},
        {"", "0", false},           {"0.0.1", "", true},     {"99999999999999999999", "1", false},
        {"1.-1", "1.0", false},     {"1.+2", "1.1", true},
    };
    for (const auto& [candidate, current, newer] : cases) {
        EXPECT_EQ(versionIsNewer(candidate, current), newer) << candidate << " vs " << current;
    }
}

} // namespace
} // namespace zevra
