#include "update/app_update_flow.h"

#include "support/tls_test_host.h"
#include "update/update_installer_script.h"
#include "update_flow_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <thread>

namespace zevra {
namespace {

using testing::releaseDownloads;
using Flow = UpdateFlowState::Flow;

const std::string manifestURL = releaseDownloads + "zevra-app-latest.json";
const std::string archiveURL = releaseDownloads + "ZEVRA-app-arm64-v1.4.0.zip";
const std::string host = config::ReleaseHost;
const std::string token32(32, 'a');

nlohmann::json appManifest(const std::string& version, const testing::ServedArchive& archive) {
    return {{"schema_version", "zevra-release-manifest-v1"},
            {"channel", "direct"},
            {"product", "zevra-macos-app"},
            {"version", version},
            {"architecture", "arm64"},
            {"minimum_macos", "12.0"},
            {"download_url", releaseDownloads + "ZEVRA-app-arm64-v" + version + ".zip"},
            {"sha256", archive.sha256},
            {"bytes", archive.bytes.size()},
            {"notes", {"One", "Two", "Three", "Four"}},
            {"release_notes_url", "https://" + host + "/notes"}};
}

// A release host offering 1.4.0 to a running 1.3.0, and the flow wired to it.
struct AppFlowTest {
    testing::UpdateFlowHarness harness;
    const testing::ServedArchive archive =
        testing::makeArchive(harness.folder.path() / "served.zip", testing::appShapedEntries());
    nlohmann::json manifest = appManifest("1.4.0", archive);
    UpdateFlowState state;
    const PendingSessionHandoffStore handoff{harness.folder.path() / "support", systemClock()};
    std::optional<std::string> token;
    bool quit = false;
    AppUpdateSettings settings{"1.3.0",     harness.folder.path() / "Applications/ZEVRA.app",
                               manifestURL, [this] { return token; },
                               &handoff,    [this] { quit = true; },
                               {"/bin/sh"}, 4242};

    void serve(const std::string& archiveMIME = "application/zip") {
        harness.host->serve(manifestURL, manifest.dump());
        harness.host->serve(archiveURL, archive.bytes, archiveMIME);
    }
    // One check from the menu (or the silent one) answered with `answers`, run to its end.
    void check(bool silent, std::vector<std::size_t> answers = {}) {
        harness.answers.assign(answers.begin(), answers.end());
        AppUpdateFlow flow(harness.environment(), settings, state);
        flow.checkForUpdates(silent);
        harness.settle();
        EXPECT_FALSE(state.running(Flow::app) && !quit);
    }
};

TEST(AppUpdateFlow, ChecksOffersAndEndsTheFlow) {
    const std::string prompt =
        "ZEVRA 1.4.0 is available: You are running ZEVRA 1.3.0.\n\n- One\n- Two\n- "
        "Three\n\nZEVRA can download the update, replace this app, and relaunch. If macOS blocks "
        "replacement, the zip will be shown in Finder.";
    const std::string upToDate = "ZEVRA is up to date: You are running ZEVRA 1.3.0.";
    // What the host serves, silent, the answers, the messages, what was opened.
    struct Case {
        const char* name;
        std::function<void(AppFlowTest&)> serve;
        bool silent;
        std::vector<std::size_t> answers;
        std::vector<std::string> messages;
        std::vector<std::string> opened;
    };
    const auto serveVersion = [](const std::string& version) {
        return [version](AppFlowTest& t) {
            t.manifest["version"] = version;
            t.manifest["download_url"] = releaseDownloads + "ZEVRA-app-arm64-v" + version + ".zip";
            t.serve();
        };
    };
    const auto serveReleasePage = [](const std::string& page) {
        return [page](AppFlowTest& t) {
            t.manifest["release_notes_url"] = page;
            t.serve();
        };
    };
    const auto nothing = [](AppFlowTest&) {};
    const std::vector<Case> cases{
        {"up to date, menu", serveVersion("1.3.0"), false, {}, {upToDate}, {}},
        {"up to date, silent", serveVersion("1.3.0"), true, {}, {}, {}},
        {"unreachable, silent", nothing, true, {}, {}, {}},
        {"unreachable, menu",
         nothing,
         false,
         {},
         {"Could not check for updates: The release host could not be reached."},
         {}},
        {"manifest refused",
         [](AppFlowTest& t) { t.harness.host->serve(manifestURL, "{}"); },
         false,
         {},
         {"Could not check for updates: The update manifest was not readable."},
         {}},
        {"later", serveVersion("1.4.0"), true, {1}, {prompt}, {}},
        {"release page",
         serveReleasePage("https://" + host + "/notes"),
         true,
         {2},
         {prompt},
         {"https://" + host + "/notes"}},
        {"release page on another host",
         serveReleasePage("https://elsewhere.example/notes"),
         true,
         {2},
         {prompt},
         {}},
    };
    for (const auto& c : cases) {
        AppFlowTest t;
        c.serve(t);
        t.check(c.silent, c.answers);
        EXPECT_EQ(t.harness.messages(), c.messages) << c.name;
        EXPECT_EQ(t.harness.opened, c.opened) << c.name;
        EXPECT_FALSE(t.state.running(Flow::app)) << c.name;
    }
}

TEST(AppUpdateFlow, ASecondCheckWhileOneRunsSendsNothing) {
    AppFlowTest t;
    t.serve();
    AppUpdateFlow flow(t.harness.environment(), t.settings, t.state);
    flow.checkForUpdates(false);
    flow.checkForUpdates(true);
    flow.checkForUpdates(false);
    t.harness.answers = {0, 1}; // "OK", then "Later"
    t.harness.settle();
    ASSERT_EQ(t.harness.alerts.size(), 2U);
    EXPECT_EQ(t.harness.messages()[0], "Update already running: ZEVRA is already checking or "
                                       "preparing an app update.");
    EXPECT_EQ(t.harness.alerts[1].buttons,
              (std::vector<std::string>{"Install and Relaunch", "Later", "Release Page"}));
    ASSERT_EQ(t.harness.host->requests.size(), 1U);
    const auto& request = t.harness.host->requests[0];
    EXPECT_EQ(request.timeout, std::chrono::seconds(30));
    EXPECT_TRUE(request.stallTimeout);
    EXPECT_EQ(request.headers, (std::vector<std::pair<std::string, std::string>>{
                                   {"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}}));
}

TEST(AppUpdateFlow, RefusesABadDownload) {
    const std::string trusted =
        "The download did not come from the trusted " + host + " release host.";
    struct Case {
        const char* name;
        std::function<void(AppFlowTest&)> change;
        std::string message;
    };
    const std::vector<Case> cases{
        {"served as octet-stream", [](AppFlowTest& t) { t.serve("application/octet-stream"); },
         "Update verification failed: " + trusted},
        {"wrong size",
         [](AppFlowTest& t) {
             t.manifest["bytes"] = t.archive.bytes.size() + 1;
             t.serve();
         },
         "Update verification failed: Size verification failed (received "},
        {"wrong digest",
         [](AppFlowTest& t) {
             t.manifest["sha256"] = std::string(64, 'b');
             t.serve();
         },
         "Update verification failed: SHA-256 verification failed. The archive was not "
         "installed."},
        {"archive unreachable",
         [](AppFlowTest& t) { t.harness.host->serve(manifestURL, t.manifest.dump()); },
         "Download failed: The release host could not be reached."},
    };
    for (const auto& c : cases) {
        AppFlowTest t;
        c.change(t);
        t.check(false, {0});
        ASSERT_EQ(t.harness.messages().size(), 2U) << c.name;
        EXPECT_TRUE(t.harness.messages()[1].starts_with(c.message)) << t.harness.messages()[1];
        EXPECT_FALSE(t.state.running(Flow::app)) << c.name;
        EXPECT_FALSE(
            std::filesystem::exists(t.harness.folder.path() / "Downloads/ZEVRA-app-1.4.0.zip"))
            << c.name;
        EXPECT_TRUE(t.harness.started.empty()) << c.name;
    }
}

TEST(AppUpdateFlow, SavesHandsOverAndQuitsIntoTheInstaller) {
    struct Case {
        const char* name;
        std::optional<std::string> token;
        std::vector<std::filesystem::path> tools;
        std::filesystem::path bundle; // empty: the one in the test's folder
        std::string message;          // empty: the installer started and the app quit
    };
    const std::string downloaded = "Update downloaded: ZEVRA could not replace itself "
                                   "automatically, so the update zip was shown in Finder.";
    const std::vector<Case> cases{
        {"signed out", std::nullopt, {"/bin/sh"}, {}, ""},
        {"signed in", token32, {"/bin/sh"}, {}, ""},
        {"installer tools missing", token32, {"/bin/sh", "/usr/bin/ditto-absent"}, {}, downloaded},
        {"installed by the package manager",
         token32,
         {"/bin/sh"},
         "/opt/zevra/ZEVRA.app",
         "Update available: ZEVRA 1.4.0 was downloaded and verified. This copy of ZEVRA was "
         "installed by the package manager, so update it there; the release was saved as "},
    };
    for (const auto& c : cases) {
        AppFlowTest t;
        t.serve();
        t.token = c.token;
        t.settings.installerTools = c.tools;
        if (!c.bundle.empty()) {
            t.settings.bundlePath = c.bundle;
        }
        t.check(true, {0});
        const auto saved = t.harness.folder.path() / "Downloads/ZEVRA-app-1.4.0.zip";
        EXPECT_EQ(testing::readFile(saved), t.archive.bytes) << c.name;
        const bool installing = c.message.empty();
        EXPECT_EQ(t.quit, installing) << c.name;
        EXPECT_EQ(t.state.running(Flow::app), installing) << c.name;
        const auto handedOver = t.handoff.consume("1.4.0");
        EXPECT_EQ(handedOver, installing ? c.token : std::nullopt) << c.name;
        if (!installing) {
            ASSERT_EQ(t.harness.messages().size(), 2U) << c.name;
            EXPECT_TRUE(t.harness.messages()[1].starts_with(c.message)) << c.name;
            EXPECT_TRUE(t.harness.started.empty()) << c.name;
            EXPECT_EQ(t.harness.revealed.size(), c.message == downloaded ? 1U : 0U) << c.name;
            continue;
        }
        EXPECT_EQ(t.harness.progressShown, std::vector<double>{1.0}) << c.name;
        EXPECT_EQ(t.harness.openProgressWindows, 0) << c.name;
        ASSERT_EQ(t.harness.started.size(), 1U) << c.name;
        const auto& argv = t.harness.started[0];
        ASSERT_EQ(argv.size(), 7U) << c.name;
        EXPECT_EQ(std::vector<std::string>(argv.begin() + 2, argv.end()),
                  (std::vector<std::string>{saved.string(), t.settings.bundlePath.string(), "1.4.0",
                                            "4242", "launch"}));
        EXPECT_EQ(argv[0], "/bin/bash");
        EXPECT_EQ(testing::readFile(argv[1]), hardenedUpdateInstallerScript);
        EXPECT_EQ(std::filesystem::status(argv[1]).permissions(), std::filesystem::perms(0755));
    }
}

TEST(AppUpdateFlow, ACancelledDownloadEndsQuietly) {
    AppFlowTest t;
    t.serve();
    t.harness.cancelDownloads = true;
    t.check(false, {0});
    EXPECT_EQ(t.harness.alerts.size(), 1U); // the offer only
    EXPECT_FALSE(t.state.running(Flow::app));
    EXPECT_EQ(t.harness.openProgressWindows, 0);
    EXPECT_FALSE(std::filesystem::exists(t.harness.folder.path() / "Downloads"));
}

// The one suite over real HTTPS: a release host on loopback with a certificate made here.
TEST(AppUpdateFlow, FetchesAndVerifiesFromAnHttpsReleaseHost) {
    testing::TlsTestHost tls(host);
    ASSERT_TRUE(tls.ready());
    AppFlowTest t;
    t.harness.http = makeHttpClient({tls.caFile(), {tls.connectTo()}});
    t.settings.installerTools = {"/usr/bin/ditto-absent"};
    const auto reply = [](const std::string& mime, const std::string& body) {
        return "HTTP/1.1 200 OK\r\nContent-Type: " + mime +
               "\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    };
    std::vector<std::string> heads;
    std::jthread server([&] {
        for (int i = 0; i < 2; ++i) {
            heads.push_back(tls.serveOne([&](const std::string& head) {
                return head.starts_with("GET /downloads/zevra-app-latest.json ")
                           ? reply("application/json", t.manifest.dump())
                           : reply("application/zip", t.archive.bytes);
            }));
        }
    });
    t.check(false, {0});
    server.join();
    ASSERT_EQ(t.harness.messages().size(), 2U);
    EXPECT_EQ(t.harness.messages()[1], "Update downloaded: ZEVRA could not replace itself "
                                       "automatically, so the update zip was shown in Finder.");
    EXPECT_EQ(testing::readFile(t.harness.folder.path() / "Downloads/ZEVRA-app-1.4.0.zip"),
              t.archive.bytes);
    for (const auto& head : heads) {
        EXPECT_NE(head.find("\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n"),
                  std::string::npos)
            << head;
    }
}

TEST(PackageManagedBundle, IsTheOneUnderOptZevra) {
    for (const auto& [path, managed] :
         std::vector<std::pair<std::string, bool>>{{"/opt/zevra/ZEVRA.app", true},
                                                   {"/opt/zevra/../zevra/ZEVRA.app", true},
                                                   {"/opt/zevra-old/ZEVRA.app", false},
                                                   {"/home/u/Applications/ZEVRA.app", false},
                                                   {"opt/zevra/ZEVRA.app", false}}) {
        EXPECT_EQ(isPackageManagedBundle(path), managed) << path;
    }
}

} // namespace
} // namespace zevra
