#include "update/extension_update_flow.h"

#include "update/extension_folder.h"
#include "update/manifest_fixtures.h"
#include "update_flow_fixture.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using testing::releaseDownloads;
using Flow = UpdateFlowState::Flow;

const std::string manifestURL = releaseDownloads + "zevra-extension-latest.json";
const std::string host = config::ReleaseHost;

std::vector<testing::ZipFixtureEntry> extensionEntries(const std::string& version) {
    return {{"manifest.json", testing::approvedExtensionManifest(version).dump()},
            {"background.js", "// new\n"},
            {"icons/icon16.png", "png"}};
}

struct ExtensionFlowTest {
    testing::UpdateFlowHarness harness;
    UpdateDefaults defaults{harness.folder.path() / "defaults.plist"};
    UpdateFlowState state;
    ExtensionUpdateFlow flow{harness.environment(),
                             extensionUpdateSettings(harness.folder.path(), defaults), state};
    const std::filesystem::path kit = harness.folder.path() / "Desktop/ZEVRA Field Kit";
    const std::filesystem::path stable = kit / "Chrome Extension";

    // The release host offering `version` as an archive of `entries`.
    void offer(const std::string& version, const std::vector<testing::ZipFixtureEntry>& entries) {
        const auto archive = testing::makeArchive(harness.folder.path() / "served.zip", entries);
        const auto url = releaseDownloads + "zevra-extension-v" + version + ".zip";
        const nlohmann::json manifest{{"schema_version", "zevra-release-manifest-v1"},
                                      {"channel", "direct"},
                                      {"product", "zevra-browser-extension"},
                                      {"platform", "chromium"},
                                      {"version", version},
                                      {"download_url", url},
                                      {"sha256", archive.sha256},
                                      {"bytes", archive.bytes.size()},
                                      {"install_notes_url", "https://" + host + "/install-notes"}};
        harness.host->serve(manifestURL, manifest.dump());
        harness.host->serve(url, archive.bytes, "application/zip");
    }
    void installOld() const {
        harness.folder.write("Desktop/ZEVRA Field Kit/Chrome Extension/manifest.json",
                             testing::approvedExtensionManifest("1.6.11").dump());
    }
};

TEST(ExtensionUpdateFlow, OffersEachVersionOnce) {
    struct Case {
        const char* name;
        std::optional<std::string> prepared;
        std::optional<std::string> dismissed;
        std::string local; // a copy in the second manifest place; empty: none
        std::string offered;
        bool prompt;
    };
    const std::vector<Case> cases{
        {"nothing known", {}, {}, "", "1.7.0", true},
        {"declined", {}, "1.7.0", "", "1.7.0", false},
        {"declined an older one", {}, "1.7.0", "", "1.7.1", true},
        {"prepared, folder deleted since", "1.7.0", {}, "", "1.7.0", false},
        {"a newer copy on disk", "1.6.11", {}, "1.7.2", "1.7.1", false},
        {"an older copy on disk", "1.6.11", {}, "1.6.12", "1.7.1", true},
    };
    for (const auto& c : cases) {
        ExtensionFlowTest t;
        if (c.prepared) {
            ASSERT_TRUE(t.defaults.set(preparedExtensionVersionKey, *c.prepared));
        }
        if (c.dismissed) {
            ASSERT_TRUE(t.defaults.set(dismissedExtensionVersionKey, *c.dismissed));
        }
        if (!c.local.empty()) {
            t.harness.folder.write("Desktop/ZEVRA Field Kit/Chrome Extension/manifest.json",
                                   testing::approvedExtensionManifest(c.local).dump());
        }
        t.offer(c.offered, extensionEntries(c.offered));
        t.harness.answers = {1}; // "Not Now"
        t.flow.checkForExtensionUpdateNotice();
        t.harness.settle();
        EXPECT_EQ(t.harness.alerts.size(), c.prompt ? 1U : 0U) << c.name;
        EXPECT_EQ(t.defaults.string(dismissedExtensionVersionKey),
                  c.prompt ? c.offered : c.dismissed)
            << c.name;
        EXPECT_FALSE(t.state.running(Flow::extension)) << c.name;
    }
}

TEST(KnownLocalExtensionVersion, TakesTheNewestValidCopy) {
    const testing::TemporaryFolder folder;
    const auto first = folder.write("a/manifest.json", R"({"name": "ZEVRA", "version": "1.7.0"})");
    const auto second = folder.write("b/manifest.json", R"({"name": "ZEVRA", "version": "1.6.0"})");
    const auto other = folder.write("c/manifest.json", R"({"name": "Other", "version": "9.0.0"})");
    const auto badVersion =
        folder.write("d/manifest.json", R"({"name": "ZEVRA", "version": "01.9.0"})");
    const auto missing = folder.path() / "e/manifest.json";
    EXPECT_EQ(knownLocalExtensionVersion({first, second}), "1.7.0");
    EXPECT_EQ(knownLocalExtensionVersion({second, first}), "1.7.0");
    EXPECT_EQ(knownLocalExtensionVersion({other, badVersion, missing}), "0");
}

TEST(ExtensionUpdateFlow, SwapsACheckedFolderIntoPlace) {
    const std::string contract =
        "Extension update failed: The unpacked extension failed its version/file contract.";
    struct Case {
        const char* name;
        std::vector<testing::ZipFixtureEntry> entries;
        std::string message; // empty: updated
    };
    auto withNotes = extensionEntries("1.7.0");
    withNotes.push_back({"notes.txt", "extra"});
    const std::vector<Case> cases{
        {"approved files", extensionEntries("1.7.0"), ""},
        {"an extra file", withNotes, contract},
        {"another version inside", extensionEntries("1.6.12"), contract},
    };
    for (const auto& c : cases) {
        ExtensionFlowTest t;
        t.installOld();
        ASSERT_TRUE(t.defaults.set(dismissedExtensionVersionKey, "1.7.0"));
        t.offer("1.7.0", c.entries);
        t.harness.answers = {2}; // "OK"
        t.flow.updateChromeExtensionFolder();
        t.harness.settle();
        EXPECT_FALSE(t.state.running(Flow::extension)) << c.name;
        const auto zip = t.harness.folder.path() / "Downloads/zevra-extension-1.7.0.zip";
        EXPECT_TRUE(std::filesystem::exists(zip)) << c.name;
        const auto stableManifest =
            nlohmann::json::parse(testing::readFile(t.stable / "manifest.json"));
        std::vector<std::string> kitItems;
        for (const auto& item : std::filesystem::directory_iterator(t.kit)) {
            kitItems.push_back(item.path().filename().string());
        }
        std::sort(kitItems.begin(), kitItems.end());
        ASSERT_EQ(t.harness.alerts.size(), 1U) << c.name;
        if (!c.message.empty()) {
            EXPECT_EQ(t.harness.messages()[0], c.message) << c.name;
            EXPECT_EQ(stableManifest["version"], "1.6.11") << c.name;
            EXPECT_EQ(kitItems, std::vector<std::string>{"Chrome Extension"}) << c.name;
            continue;
        }
        EXPECT_EQ(t.harness.alerts[0].message, "Chrome extension folder updated");
        EXPECT_EQ(stableManifest["version"], "1.7.0");
        EXPECT_EQ(kitItems,
                  (std::vector<std::string>{"Chrome Extension", "Chrome Extension.previous"}));
        EXPECT_EQ(testing::readFile(t.stable / "README-ZEVRA-UPDATE.txt"),
                  extensionInstallNote("1.7.0", t.stable, zip));
        EXPECT_EQ(t.defaults.string(preparedExtensionVersionKey), "1.7.0");
        EXPECT_EQ(t.defaults.string(dismissedExtensionVersionKey), std::nullopt);
    }
}

TEST(ExtensionUpdateFlow, RefusesASecondUpdateWhileOneRuns) {
    ExtensionFlowTest t;
    t.offer("1.7.0", extensionEntries("1.7.0"));
    t.flow.updateChromeExtensionFolder();
    t.flow.updateChromeExtensionFolder();
    t.harness.answers = {2};
    t.harness.settle();
    ASSERT_EQ(t.harness.alerts.size(), 2U);
    EXPECT_EQ(t.harness.messages()[0], "Extension update already running: ZEVRA is already "
                                       "downloading or installing the extension folder.");
    EXPECT_EQ(t.harness.alerts[1].message, "Chrome extension folder updated");
    EXPECT_EQ(t.harness.host->requests.size(), 2U); // one manifest, one archive
}

TEST(ExtensionUpdateFlow, OpensChromeOrElseTheInstallPage) {
    for (const bool chromeStarts : {true, false}) {
        ExtensionFlowTest t;
        t.offer("1.7.0", extensionEntries("1.7.0"));
        t.harness.programsStart = chromeStarts;
        t.harness.answers = {0};
        t.flow.updateChromeExtensionFolder();
        t.harness.settle();
        ASSERT_EQ(t.harness.started.size(), 1U);
        EXPECT_EQ(t.harness.started[0].back(), "chrome://extensions");
        EXPECT_EQ(t.harness.opened, chromeStarts
                                        ? std::vector<std::string>{}
                                        : std::vector<std::string>{"https://" + host + "/install"});
    }
}

// The last rename fails (the staging folder is gone): the previous folder goes back.
TEST(SwapExtensionFolder, PutsThePreviousFolderBackWhenTheLastRenameFails) {
    const testing::TemporaryFolder folder;
    folder.write("stable/manifest.json", "old");
    folder.write("stable.previous/manifest.json", "older");
    const auto failure = swapExtensionFolder(folder.path() / "missing", folder.path() / "stable",
                                             folder.path() / "stable.previous");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(testing::readFile(folder.path() / "stable/manifest.json"), "old");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "stable.previous"));
}

} // namespace
} // namespace zevra
